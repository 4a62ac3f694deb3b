#include "numeric/lsq_svd.hpp"

#include <cmath>

#include "numeric/arrays.hpp"
#include "numeric/fatal_error.hpp"
#include "numeric/lsq_normal.hpp"

namespace nongauss {

namespace {

// |p| carrying the sign of q; -0.0 counts as non-negative.
double sign(double p, double q) { return q >= 0.0 ? std::fabs(p) : -std::fabs(p); }

}  // namespace

double safe_hypot(double a, double b) {
    const double p = std::fabs(a);
    const double q = std::fabs(b);
    if (p > q) {
        const double r = q / p;
        return p * std::sqrt(1.0 + r * r);
    }
    if (q == 0.0) return 0.0;
    const double r = p / q;
    return q * std::sqrt(1.0 + r * r);
}

void svd_edit(double* w, int n) {
    double wmax = 0.0;
    for (int j = 1; j <= n; ++j)
        if (w[j] > wmax) wmax = w[j];
    const double thresh = svd_edit_factor * wmax;
    for (int j = 1; j <= n; ++j)
        if (w[j] < thresh) w[j] = 0.0;
}

void fit_svd(const double* x, const double* y, int ndata, double* a, int ma, double* chisq) {
    const OwnedVector b(1, ndata);
    const OwnedVector p(1, ma < 1 ? 1 : ma);  // poly_basis always writes p[1]
    const OwnedMatrix u(1, ndata, 1, ma);
    const OwnedMatrix v(1, ma, 1, ma);
    const OwnedVector w(1, ma);

    for (int i = 1; i <= ndata; ++i) {
        poly_basis(x[i], p, ma);
        for (int j = 1; j <= ma; ++j) u[i][j] = p[j];
        b[i] = y[i];
    }
    svd_decompose(u, ndata, ma, w, v);
    svd_edit(w, ma);
    svd_back_substitute(u, w, v, ndata, ma, b, a);

    *chisq = sum_of_squared_residuals(x, y, ndata, a, ma, p);
}

void svd_back_substitute(double** u, const double* w, double** v, int m, int n, const double* b, double* x) {
    const OwnedVector t(1, n);
    for (int j = 1; j <= n; ++j) {
        double s = 0.0;
        if (w[j] != 0.0) {
            for (int i = 1; i <= m; ++i) s += u[i][j] * b[i];
            s /= w[j];
        }
        t[j] = s;
    }
    for (int j = 1; j <= n; ++j) {
        double s = 0.0;
        for (int k = 1; k <= n; ++k) s += v[j][k] * t[k];
        x[j] = s;
    }
}

void svd_decompose(double** a, int m, int n, double* w, double** v) {
    const OwnedVector e(1, n);
    // |v| + nrm rounding back to nrm: v is negligible against the matrix.
    double nrm = 0.0;
    const auto negligible = [&nrm](double value) { return std::fabs(value) + nrm == nrm; };

    // Householder reduction to bidiagonal form.
    double g = 0.0;
    double scale = 0.0;
    int l = n + 1;
    for (int i = 1; i <= n; ++i) {
        l = i + 1;
        e[i] = scale * g;
        g = 0.0;
        double s = 0.0;
        scale = 0.0;
        if (i <= m) {
            for (int k = i; k <= m; ++k) scale += std::fabs(a[k][i]);
            if (scale != 0.0) {
                for (int k = i; k <= m; ++k) {
                    a[k][i] /= scale;
                    s += a[k][i] * a[k][i];
                }
                double f = a[i][i];
                g = -sign(std::sqrt(s), f);
                const double h = f * g - s;
                a[i][i] = f - g;
                for (int j = l; j <= n; ++j) {
                    double sum = 0.0;
                    for (int k = i; k <= m; ++k) sum += a[k][i] * a[k][j];
                    f = sum / h;
                    for (int k = i; k <= m; ++k) a[k][j] += f * a[k][i];
                }
                for (int k = i; k <= m; ++k) a[k][i] *= scale;
            }
        }
        w[i] = scale * g;
        g = 0.0;
        s = 0.0;
        scale = 0.0;
        if (i <= m && i != n) {
            for (int k = l; k <= n; ++k) scale += std::fabs(a[i][k]);
            if (scale != 0.0) {
                for (int k = l; k <= n; ++k) {
                    a[i][k] /= scale;
                    s += a[i][k] * a[i][k];
                }
                const double f = a[i][l];
                g = -sign(std::sqrt(s), f);
                const double h = f * g - s;
                a[i][l] = f - g;
                for (int k = l; k <= n; ++k) e[k] = a[i][k] / h;
                for (int j = l; j <= m; ++j) {
                    double sum = 0.0;
                    for (int k = l; k <= n; ++k) sum += a[j][k] * a[i][k];
                    for (int k = l; k <= n; ++k) a[j][k] += sum * e[k];
                }
                for (int k = l; k <= n; ++k) a[i][k] *= scale;
            }
        }
        const double size = std::fabs(w[i]) + std::fabs(e[i]);
        nrm = nrm > size ? nrm : size;
    }

    // Accumulation of the right-hand transformations.
    for (int i = n; i >= 1; --i) {
        if (i < n) {
            if (g != 0.0) {
                for (int j = l; j <= n; ++j) v[j][i] = (a[i][j] / a[i][l]) / g;
                for (int j = l; j <= n; ++j) {
                    double sum = 0.0;
                    for (int k = l; k <= n; ++k) sum += a[i][k] * v[k][j];
                    for (int k = l; k <= n; ++k) v[k][j] += sum * v[k][i];
                }
            }
            for (int j = l; j <= n; ++j) {
                v[i][j] = 0.0;
                v[j][i] = 0.0;
            }
        }
        v[i][i] = 1.0;
        g = e[i];
        l = i;
    }

    // Accumulation of the left-hand transformations.
    for (int i = m < n ? m : n; i >= 1; --i) {
        l = i + 1;
        g = w[i];
        for (int j = l; j <= n; ++j) a[i][j] = 0.0;
        if (g != 0.0) {
            g = 1.0 / g;
            for (int j = l; j <= n; ++j) {
                double sum = 0.0;
                for (int k = l; k <= m; ++k) sum += a[k][i] * a[k][j];
                const double f = (sum / a[i][i]) * g;
                for (int k = i; k <= m; ++k) a[k][j] += f * a[k][i];
            }
            for (int j = i; j <= m; ++j) a[j][i] *= g;
        } else {
            for (int j = i; j <= m; ++j) a[j][i] = 0.0;
        }
        a[i][i] += 1.0;
    }

    // Diagonalisation of the bidiagonal form by implicitly shifted QR.
    for (int k = n; k >= 1; --k) {
        for (int its = 1; its <= 30; ++its) {
            // Split test. e[1] is 0.0, so for any nrm but NaN the scan stops
            // at l = 1 anyway; stopping there explicitly keeps NaN in bounds.
            bool cancel = false;
            for (l = k; l >= 1; --l) {
                if (l == 1 || negligible(e[l])) break;
                if (negligible(w[l - 1])) {
                    cancel = true;
                    break;
                }
            }
            if (cancel) {
                const int nm = l - 1;
                double c = 0.0;
                double s = 1.0;
                for (int i = l; i <= k; ++i) {
                    const double f = s * e[i];
                    e[i] = c * e[i];
                    if (negligible(f)) break;
                    g = w[i];
                    double h = safe_hypot(f, g);
                    w[i] = h;
                    h = 1.0 / h;
                    c = g * h;
                    s = -f * h;
                    for (int j = 1; j <= m; ++j) {
                        const double p = a[j][nm];
                        const double q = a[j][i];
                        a[j][nm] = p * c + q * s;
                        a[j][i] = q * c - p * s;
                    }
                }
            }

            double z = w[k];
            if (l == k) {  // converged: make the value non-negative
                if (z < 0.0) {
                    w[k] = -z;
                    for (int j = 1; j <= n; ++j) v[j][k] = -v[j][k];
                }
                break;
            }
            if (its == 30) fatal_error("no convergence in 30 svdcmp iterations");

            // Shift from the bottom 2 x 2 minor.
            double x = w[l];
            double y = w[k - 1];
            g = e[k - 1];
            double h = e[k];
            double f = ((y - z) * (y + z) + (g - h) * (g + h)) / (2.0 * h * y);
            g = safe_hypot(f, 1.0);
            f = ((x - z) * (x + z) + h * ((y / (f + sign(g, f))) - h)) / x;

            // QR sweep.
            double c = 1.0;
            double s = 1.0;
            for (int j = l; j <= k - 1; ++j) {
                const int i = j + 1;
                g = e[i];
                y = w[i];
                h = s * g;
                g = c * g;
                z = safe_hypot(f, h);
                e[j] = z;
                c = f / z;
                s = h / z;
                f = x * c + g * s;
                g = g * c - x * s;
                h = y * s;
                y = y * c;
                for (int r = 1; r <= n; ++r) {
                    const double p = v[r][j];
                    const double q = v[r][i];
                    v[r][j] = p * c + q * s;
                    v[r][i] = q * c - p * s;
                }
                z = safe_hypot(f, h);
                w[j] = z;
                if (z != 0.0) {
                    z = 1.0 / z;
                    c = f * z;
                    s = h * z;
                }
                f = c * g + s * y;
                x = c * y - s * g;
                for (int r = 1; r <= m; ++r) {
                    const double p = a[r][j];
                    const double q = a[r][i];
                    a[r][j] = p * c + q * s;
                    a[r][i] = q * c - p * s;
                }
            }
            e[l] = 0.0;
            e[k] = f;
            w[k] = x;
        }
    }
}

}  // namespace nongauss
