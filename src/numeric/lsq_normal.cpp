#include "numeric/lsq_normal.hpp"

#include <cmath>
#include <utility>

#include "numeric/arrays.hpp"
#include "numeric/fatal_error.hpp"
#include "numeric/gauss_jordan.hpp"

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

double sum_of_squared_residuals(const double* x, const double* y, int ndat, const double* a, int ma,
                                double* p) {
    double sum_sq = 0.0;
    for (int i = 1; i <= ndat; ++i) {
        poly_basis(x[i], p, ma);
        double s = 0.0;
        for (int j = 1; j <= ma; ++j) s += a[j] * p[j];
        const double d = y[i] - s;
        sum_sq += d * d;
    }
    return sum_sq;
}

void fit_normal_eq(const double* x, const double* y, int ndat, double* a, int ma, double* chisq) {
    const OwnedMatrix b(1, ma, 1, 1);
    const OwnedVector p(1, ma < 1 ? 1 : ma);  // poly_basis always writes p[1]
    const OwnedMatrix g(1, ma, 1, ma);

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

    gauss_jordan_solve(g, ma, b, 1);
    for (int l = 1; l <= ma; ++l) a[l] = b[l][1];

    *chisq = sum_of_squared_residuals(x, y, ndat, a, ma, p);
}

namespace {

// The right-hand sides of gauss_jordan_solve: the columns of b[1..n][1..m].
struct MatrixRows {
    double** b;
    int m;
    void swap_rows(int r1, int r2) const {
        for (int l = 1; l <= m; ++l) std::swap(b[r1][l], b[r2][l]);
    }
    void scale_row(int r, double f) const {
        for (int l = 1; l <= m; ++l) b[r][l] *= f;
    }
    void subtract_row(int r, int p, double t) const {
        for (int l = 1; l <= m; ++l) b[r][l] -= b[p][l] * t;
    }
};

}  // namespace

void gauss_jordan_solve(double** a, int n, double** b, int m) {
    MatrixRows rows{b, m};
    gauss_jordan(a, n, rows);
}

}  // namespace nongauss
