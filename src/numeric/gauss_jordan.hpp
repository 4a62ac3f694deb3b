#pragma once

// The elimination of gauss_jordan_solve with the right-hand side kept abstract: the pivot
// choices, and so every operation on the right-hand side, depend on the
// matrix alone. gauss_jordan_solve applies them to a matrix of right-hand sides at once;
// a fit whose matrix is the same for many right-hand sides records them once
// and replays them on each (see window_fit.hpp).

#include <cmath>
#include <utility>

#include "numeric/arrays.hpp"
#include "numeric/fatal_error.hpp"

namespace nongauss {

/// Gauss-Jordan elimination with full pivoting of a[1..n][1..n] (replaced by
/// its inverse), with the right-hand side operations sent to `rhs`:
///   rhs.swap_rows(r1, r2)        exchange rows r1 and r2;
///   rhs.scale_row(r, f)          row r *= f;
///   rhs.subtract_row(r, p, t)    row r -= row p * t.
/// The errors are those of gauss_jordan_solve (see lsq_normal.hpp).
template <typename RightSide>
void gauss_jordan(double** a, int n, RightSide& rhs) {
    const OwnedIVector indxc(1, n);
    const OwnedIVector indxr(1, n);
    const OwnedIVector used(1, n);
    for (int j = 1; j <= n; ++j) used[j] = 0;

    for (int i = 1; i <= n; ++i) {
        // Full pivot search; ties go to the last entry scanned.
        double big = 0.0;
        int prow = 0;
        int pcol = 0;
        for (int j = 1; j <= n; ++j) {
            if (used[j] == 1) continue;
            for (int k = 1; k <= n; ++k) {
                if (used[k] == 0) {
                    if (std::fabs(a[j][k]) >= big) {
                        big = std::fabs(a[j][k]);
                        prow = j;
                        pcol = k;
                    }
                } else if (used[k] > 1) {
                    fatal_error("gaussj: Singular Matrix-1");
                }
            }
        }
        // Every candidate was NaN: there is no pivot, so the matrix is
        // treated as singular.
        if (pcol == 0) fatal_error("gaussj: Singular Matrix-2");
        ++used[pcol];

        if (prow != pcol) {
            for (int l = 1; l <= n; ++l) std::swap(a[prow][l], a[pcol][l]);
            rhs.swap_rows(prow, pcol);
        }
        indxr[i] = prow;
        indxc[i] = pcol;

        if (a[pcol][pcol] == 0.0) fatal_error("gaussj: Singular Matrix-2");
        const double pivinv = 1.0 / a[pcol][pcol];
        a[pcol][pcol] = 1.0;
        for (int l = 1; l <= n; ++l) a[pcol][l] *= pivinv;
        rhs.scale_row(pcol, pivinv);

        for (int r = 1; r <= n; ++r) {
            if (r == pcol) continue;
            const double t = a[r][pcol];
            a[r][pcol] = 0.0;
            for (int l = 1; l <= n; ++l) a[r][l] -= a[pcol][l] * t;
            rhs.subtract_row(r, pcol, t);
        }
    }

    // Undo the column interchanges implied by the row swaps.
    for (int l = n; l >= 1; --l) {
        if (indxr[l] != indxc[l])
            for (int k = 1; k <= n; ++k) std::swap(a[k][indxr[l]], a[k][indxc[l]]);
    }
}

}  // namespace nongauss
