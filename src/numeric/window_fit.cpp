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

SharedAbscissaeFit::SharedAbscissaeFit(const double* x, int n, int ma, int method)
    : x_(x, x + n + 1), n_(n), ma_(ma), svd_(method > 1) {
    if (svd_) {
        // fit_svd's allocations, in its order (b and p are not needed here).
        double* b = vector(1, n);
        double* p = vector(1, ma < 1 ? 1 : ma);
        u_ = matrix(1, n, 1, ma);
        v_ = matrix(1, ma, 1, ma);
        w_ = vector(1, ma);
        for (int i = 1; i <= n; ++i) {
            poly_basis(x[i], p, ma);
            for (int j = 1; j <= ma; ++j) u_[i][j] = p[j];
        }
        svdcmp(u_, n, ma, w_, v_);
        svd_edit(w_, ma);
        release_vector(p, 1, ma);
        release_vector(b, 1, n);
    } else {
        // fit_normal_eq's allocations and normal matrix, in its order.
        double** b = matrix(1, ma, 1, 1);
        double* p = vector(1, ma < 1 ? 1 : ma);
        double** g = matrix(1, ma, 1, ma);
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
        release_vector(p, 1, ma);
        release_matrix(b, 1, ma, 1, 1);
        release_matrix(g, 1, ma, 1, ma);
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

SharedAbscissaeFit::~SharedAbscissaeFit() {
    if (svd_) {
        release_matrix(u_, 1, n_, 1, ma_);
        release_matrix(v_, 1, ma_, 1, ma_);
        release_vector(w_, 1, ma_);
    }
}

void SharedAbscissaeFit::fit(const double* y, double* a) const {
    if (svd_) {
        svd_backsub(u_, w_, v_, n_, ma_, y, a);
        return;
    }
    // The right-hand side as fit_normal_eq sums it, the basis as poly_basis
    // makes it, then gaussj's steps on it.
    for (int l = 1; l <= ma_; ++l) a[l] = 0.0;
    for (int i = 1; i <= n_; ++i) {
        const double xi = x_[static_cast<std::size_t>(i)];
        const double yi = y[i];
        double p = 1.0;
        a[1] += yi * p;
        for (int l = 2; l <= ma_; ++l) {
            p = p * xi;
            a[l] += yi * p;
        }
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

}  // namespace nongauss
