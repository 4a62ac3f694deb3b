#include "numeric/lsq_normal.hpp"

#include <cmath>
#include <utility>

#include "numeric/arrays.hpp"
#include "numeric/fatal_error.hpp"

namespace nongauss {

void poly_basis(double x, double* p, int n) {
    p[1] = 1.0;
    for (int j = 2; j <= n; ++j) p[j] = p[j - 1] * x;
}

double poly_eval(double x, const double* a, int n) {
    double s = a[1];
    for (int i = 2; i <= n; ++i) s = std::pow(x, static_cast<double>(i - 1)) * a[i] + s;
    return s;
}

void fit_normal_eq(const double* x, const double* y, int ndat, double* a, int ma, double* chisq) {
    double** b = matrix(1, ma, 1, 1);
    double* p = vector(1, ma < 1 ? 1 : ma);  // poly_basis always writes p[1]
    double** g = matrix(1, ma, 1, ma);

    for (int j = 1; j <= ma; ++j) {
        for (int k = 1; k <= ma; ++k) g[j][k] = 0.0;
        b[j][1] = 0.0;
    }

    // Normal matrix (lower triangle and diagonal) and right-hand side.
    for (int i = 1; i <= ndat; ++i) {
        poly_basis(x[i], p, ma);
        for (int l = 1; l <= ma; ++l) {
            const double w = p[l];
            for (int m = 1; m <= l; ++m) g[l][m] += w * p[m];
            b[l][1] += y[i] * w;
        }
    }
    for (int j = 2; j <= ma; ++j)
        for (int k = 1; k <= j - 1; ++k) g[k][j] = g[j][k];

    gaussj(g, ma, b, 1);
    for (int l = 1; l <= ma; ++l) a[l] = b[l][1];

    double sum_sq = 0.0;
    for (int i = 1; i <= ndat; ++i) {
        poly_basis(x[i], p, ma);
        double s = 0.0;
        for (int j = 1; j <= ma; ++j) s += a[j] * p[j];
        const double d = y[i] - s;
        sum_sq += d * d;
    }
    *chisq = sum_sq;

    release_vector(p, 1, ma);
    release_matrix(b, 1, ma, 1, 1);
    release_matrix(g, 1, ma, 1, ma);
}

void gaussj(double** a, int n, double** b, int m) {
    int* indxc = ivector(1, n);
    int* indxr = ivector(1, n);
    int* used = ivector(1, n);
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
            for (int l = 1; l <= m; ++l) std::swap(b[prow][l], b[pcol][l]);
        }
        indxr[i] = prow;
        indxc[i] = pcol;

        if (a[pcol][pcol] == 0.0) fatal_error("gaussj: Singular Matrix-2");
        const double pivinv = 1.0 / a[pcol][pcol];
        a[pcol][pcol] = 1.0;
        for (int l = 1; l <= n; ++l) a[pcol][l] *= pivinv;
        for (int l = 1; l <= m; ++l) b[pcol][l] *= pivinv;

        for (int r = 1; r <= n; ++r) {
            if (r == pcol) continue;
            const double t = a[r][pcol];
            a[r][pcol] = 0.0;
            for (int l = 1; l <= n; ++l) a[r][l] -= a[pcol][l] * t;
            for (int l = 1; l <= m; ++l) b[r][l] -= b[pcol][l] * t;
        }
    }

    // Undo the column interchanges implied by the row swaps.
    for (int l = n; l >= 1; --l) {
        if (indxr[l] != indxc[l])
            for (int k = 1; k <= n; ++k) std::swap(a[k][indxr[l]], a[k][indxc[l]]);
    }

    release_ivector(used, 1, n);
    release_ivector(indxr, 1, n);
    release_ivector(indxc, 1, n);
}

}  // namespace nongauss
