#pragma once

// Polynomial least squares by the normal equations, on 1-based unit-offset
// arrays. The fitted polynomial is a[1] + a[2]*x + ... + a[ma]*x^(ma-1);
// every point has unit weight and every coefficient is fitted.

namespace nongauss {

/// Basis values p[1..n] = 1, x, x*x, ... by repeated multiplication.
/// p[1] = 1.0 is written even when n < 1.
void poly_basis(double x, double* p, int n);

/// a[1] + sum over i = 2..n of pow(x, i-1) * a[i], added in ascending i.
/// Reads a[1] even when n < 1.
double poly_eval(double x, const double* a, int n);

/// Chi-square of a fit: the sum over i = 1..ndat, in order, of
/// (y[i] - (a[1]*p[1] + ... + a[ma]*p[ma]))^2 with p = poly_basis(x[i]),
/// accumulated from 0.0; p[1..max(ma, 1)] is scratch space.
double sum_of_squared_residuals(const double* x, const double* y, int ndat, const double* a, int ma,
                                double* p);

/// Fits a[1..ma] to the points (x[i], y[i]), i = 1..ndat, by solving the
/// normal equations with gauss_jordan_solve; *chisq is the sum of squared residuals.
/// May throw (fatal_error) gauss_jordan_solve's messages ("gaussj: Singular Matrix-1",
/// "gaussj: Singular Matrix-2") or an allocator's message.
void fit_normal_eq(const double* x, const double* y, int ndat, double* a, int ma, double* chisq);

/// Gauss-Jordan elimination with full pivoting: a[1..n][1..n] is replaced by
/// its inverse and b[1..n][1..m] by the solutions of a * X = b.
/// Throws (fatal_error) "gaussj: Singular Matrix-2" on a pivot of exactly
/// 0.0, and also when no pivot can be chosen (every candidate is NaN);
/// "gaussj: Singular Matrix-1" when a column would be used twice as pivot.
void gauss_jordan_solve(double** a, int n, double** b, int m);

}  // namespace nongauss
