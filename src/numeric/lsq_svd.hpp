#pragma once

// Polynomial least squares by singular value decomposition of the design
// matrix, on 1-based unit-offset arrays. Same problem and results as
// fit_normal_eq, but rank-deficient fits still yield coefficients.

namespace nongauss {

/// Singular values below this factor times the largest one are dropped.
inline constexpr double svd_edit_factor = 1.0e-10;

/// Fits a[1..ma] of a[1] + a[2]*x + ... to the points (x[i], y[i]),
/// i = 1..ndata, with unit weights; *chisq is the sum of squared residuals.
/// May throw (fatal_error) svd_decompose's message or an allocator's message.
void fit_svd(const double* x, const double* y, int ndata, double* a, int ma, double* chisq);

/// Sets to 0.0 every w[1..n] strictly below 1.0e-10 times the largest w[j]
/// (the edit fit_svd applies before solving).
void svd_edit(double* w, int n);

/// Decomposes a[1..m][1..n] = U * diag(w) * V^T: a is replaced by U, w[1..n]
/// gets the singular values (all >= 0, unsorted), v[1..n][1..n] the right
/// singular vectors as columns. m < n is allowed. Throws (fatal_error)
/// "no convergence in 30 svdcmp iterations" when a value does not converge
/// (which is how input containing NaN ends as well).
void svd_decompose(double** a, int m, int n, double* w, double** v);

/// Solves A * x = b for x[1..n] from the decomposition (u[1..m][1..n],
/// w[1..n], v[1..n][1..n]); components with w[j] == 0.0 get zero weight.
void svd_back_substitute(double** u, const double* w, double** v, int m, int n, const double* b, double* x);

/// sqrt(a*a + b*b) without needless overflow or underflow.
double safe_hypot(double a, double b);

}  // namespace nongauss
