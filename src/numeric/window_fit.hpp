#pragma once

// Polynomial least squares over many data sets that share their abscissae, as
// the detrending windows do (x = 1, 2, ..., n in every window). What depends on
// the abscissae alone is worked out once: the normal matrix and the sequence of
// elimination steps that gauss_jordan_solve applies to the right-hand side, or the singular
// value decomposition of the design matrix, and the powers x^(i-1) that
// poly_eval raises. Each fit then costs O(n ma) operations, and its
// coefficients and fitted values are, bit for bit, those of fit_normal_eq or
// fit_svd followed by poly_eval: the same operations on the same values in the
// same order.

#include <vector>

#include "nongauss/settings.hpp"
#include "numeric/arrays.hpp"

namespace nongauss {

class SharedAbscissaeFit {
public:
    /// Largest number of coefficients handled (the elimination steps number
    /// about ma * ma).
    static constexpr int max_coefficients = 1024;
    /// Largest table of powers kept; beyond it value() calls pow itself.
    static constexpr long max_power_table = 1L << 21;

    /// Abscissae x[1..n], ma coefficients (1 <= ma <= max_coefficients),
    /// fitted by `method`. Does
    /// the part of the first fit that depends on x alone, with the same
    /// allocations in the same order, so it throws the same
    /// messages as the first call of fit_normal_eq or fit_svd would.
    SharedAbscissaeFit(const double* x, int n, int ma, FitMethod method);
    SharedAbscissaeFit(const SharedAbscissaeFit&) = delete;
    SharedAbscissaeFit& operator=(const SharedAbscissaeFit&) = delete;

    /// The coefficients a[1..ma] for the ordinates y[1..n]: those that
    /// fit_normal_eq or fit_svd give (the sum of squares is not formed).
    /// Safe to call from several threads at once.
    void fit(const double* y, double* a) const;

    /// poly_eval(x[k], a, ma), k in 1..n.
    double value(int k, const double* a) const;

    /// out[k] = y[k] - value(k, a) for k in 1..n.
    void residuals(const double* y, const double* a, double* out) const;

private:
    enum class StepKind { swap, scale, subtract };
    struct Step {
        StepKind kind;
        int row;
        int pivot;
        double factor;
    };
    struct Recorder;

    std::vector<double> x_;  // x_[1..n]
    int n_;
    int ma_;
    bool svd_;
    std::vector<Step> steps_;        // normal equations
    OwnedMatrix u_;                  // singular value decomposition
    OwnedMatrix v_;
    OwnedVector w_;
    std::vector<double> powers_;     // pow(x[k], i - 1) at (k - 1) * (ma - 1) + i - 2
};

}  // namespace nongauss
