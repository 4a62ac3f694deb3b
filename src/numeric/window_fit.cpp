#include "numeric/window_fit.hpp"

#include <cmath>
#include <new>
#include <utility>

#include "numeric/arrays.hpp"
#include "numeric/gauss_jordan.hpp"
#include "numeric/lsq_normal.hpp"
#include "numeric/lsq_svd.hpp"

namespace nongauss {

// Records what gauss_jordan does to the right-hand side.
struct SharedAbscissaeFit::Recorder {
    std::vector<Step>& steps;
    void swap_rows(int r1, int r2) { steps.push_back({StepKind::swap, r1, r2, 0.0}); }
    void scale_row(int r, double f) { steps.push_back({StepKind::scale, r, 0, f}); }
    void subtract_row(int r, int p, double t) { steps.push_back({StepKind::subtract, r, p, t}); }
};

SharedAbscissaeFit::SharedAbscissaeFit(const double* x, int n, int ma, FitMethod method)
    : x_(x, x + n + 1), n_(n), ma_(ma), svd_(method == FitMethod::svd) {
    if (svd_) {
        // fit_svd's allocations, in its order (b and p are not needed here).
        const OwnedVector b(1, n);
        const OwnedVector p(1, ma < 1 ? 1 : ma);
        u_ = OwnedMatrix(1, n, 1, ma);
        v_ = OwnedMatrix(1, ma, 1, ma);
        w_ = OwnedVector(1, ma);
        for (int i = 1; i <= n; ++i) {
            poly_basis(x[i], p, ma);
            for (int j = 1; j <= ma; ++j) u_[i][j] = p[j];
        }
        svd_decompose(u_, n, ma, w_, v_);
        svd_edit(w_, ma);
    } else {
        // fit_normal_eq's allocations and normal matrix, in its order.
        const OwnedMatrix b(1, ma, 1, 1);
        const OwnedVector p(1, ma < 1 ? 1 : ma);
        const OwnedMatrix g(1, ma, 1, ma);
        for (int j = 1; j <= ma; ++j)
            for (int k = 1; k <= ma; ++k) g[j][k] = 0.0;
        for (int i = 1; i <= n; ++i) {
            poly_basis(x[i], p, ma);
            for (int l = 1; l <= ma; ++l) {
                const double w = p[l];
                for (int m = 1; m <= l; ++m) g[l][m] += w * p[m];
            }
        }
        for (int j = 2; j <= ma; ++j)
            for (int k = 1; k <= j - 1; ++k) g[k][j] = g[j][k];
        steps_.reserve(static_cast<std::size_t>(ma) * static_cast<std::size_t>(ma + 1));
        Recorder recorder{steps_};
        gauss_jordan(g, ma, recorder);
    }

    const long entries = static_cast<long>(n) * (ma - 1);
    if (entries > 0 && entries <= max_power_table) {
        try {
            powers_.resize(static_cast<std::size_t>(entries));
        } catch (const std::bad_alloc&) {
            return;  // value() raises the powers itself
        }
        double* out = powers_.data();
        for (int k = 1; k <= n; ++k)
            for (int i = 2; i <= ma; ++i) *out++ = std::pow(x[k], static_cast<double>(i - 1));
    }
}

namespace {

// The right-hand side of the normal equations, a[l] = sum of y[i] p_l(x[i])
// in ascending i, with the basis made as poly_basis makes it. With the
// number of coefficients fixed at compile time the sums stay in registers.
template <int MA>
void normal_rhs(const double* x, const double* y, int n, double* a) {
    double acc[MA] = {};  // acc[l - 1] is a[l]
    for (int i = 1; i <= n; ++i) {
        const double xi = x[i];
        const double yi = y[i];
        double p = 1.0;
        acc[0] += yi * p;
#pragma GCC unroll 16
        for (int l = 1; l < MA; ++l) {
            p = p * xi;
            acc[l] += yi * p;
        }
    }
    for (int l = 0; l < MA; ++l) a[l + 1] = acc[l];
}

void normal_rhs(const double* x, const double* y, int n, double* a, int ma) {
    for (int l = 1; l <= ma; ++l) a[l] = 0.0;
    for (int i = 1; i <= n; ++i) {
        const double xi = x[i];
        const double yi = y[i];
        double p = 1.0;
        a[1] += yi * p;
        for (int l = 2; l <= ma; ++l) {
            p = p * xi;
            a[l] += yi * p;
        }
    }
}

// out[k] = y[k] - (a[1] + power(k, 1) a[2] + ...), added as poly_eval adds.
template <int MA>
void residuals_with(const double* powers, const double* y, const double* a, int n, double* out) {
    double c[MA];
    for (int l = 0; l < MA; ++l) c[l] = a[l + 1];
    const double* power = powers;
    for (int k = 1; k <= n; ++k, power += MA - 1) {
        double s = c[0];
#pragma GCC unroll 16
        for (int i = 1; i < MA; ++i) s = power[i - 1] * c[i] + s;
        out[k] = y[k] - s;
    }
}

}  // namespace

void SharedAbscissaeFit::fit(const double* y, double* a) const {
    if (svd_) {
        svd_back_substitute(u_, w_, v_, n_, ma_, y, a);
        return;
    }
    // The right-hand side as fit_normal_eq sums it, then gauss_jordan_solve's steps on it.
    const double* x = x_.data();
    switch (ma_) {
        case 2: normal_rhs<2>(x, y, n_, a); break;
        case 3: normal_rhs<3>(x, y, n_, a); break;
        case 4: normal_rhs<4>(x, y, n_, a); break;
        case 5: normal_rhs<5>(x, y, n_, a); break;
        case 6: normal_rhs<6>(x, y, n_, a); break;
        case 7: normal_rhs<7>(x, y, n_, a); break;
        case 8: normal_rhs<8>(x, y, n_, a); break;
        default: normal_rhs(x, y, n_, a, ma_); break;
    }
    for (const Step& s : steps_) {
        switch (s.kind) {
            case StepKind::swap: std::swap(a[s.row], a[s.pivot]); break;
            case StepKind::scale: a[s.row] *= s.factor; break;
            case StepKind::subtract: a[s.row] -= a[s.pivot] * s.factor; break;
        }
    }
}

double SharedAbscissaeFit::value(int k, const double* a) const {
    if (powers_.empty()) return poly_eval(x_[static_cast<std::size_t>(k)], a, ma_);
    const double* power = powers_.data() + static_cast<std::size_t>(k - 1) * static_cast<std::size_t>(ma_ - 1);
    double s = a[1];
    for (int i = 2; i <= ma_; ++i) s = power[i - 2] * a[i] + s;
    return s;
}

void SharedAbscissaeFit::residuals(const double* y, const double* a, double* out) const {
    const double* powers = powers_.data();
    if (!powers_.empty()) {
        switch (ma_) {
            case 2: residuals_with<2>(powers, y, a, n_, out); return;
            case 3: residuals_with<3>(powers, y, a, n_, out); return;
            case 4: residuals_with<4>(powers, y, a, n_, out); return;
            case 5: residuals_with<5>(powers, y, a, n_, out); return;
            case 6: residuals_with<6>(powers, y, a, n_, out); return;
            case 7: residuals_with<7>(powers, y, a, n_, out); return;
            case 8: residuals_with<8>(powers, y, a, n_, out); return;
            default: break;
        }
    }
    for (int k = 1; k <= n_; ++k) out[k] = y[k] - value(k, a);
}

}  // namespace nongauss
