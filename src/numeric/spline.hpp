#pragma once

// Interpolating cubic spline through knots (x[i], y[i]), i = 1..n, on 1-based
// unit-offset arrays: spline_coeffs computes the second derivative at every
// knot once, spline_eval then evaluates the spline anywhere from those values.

namespace nongauss {

/// A first-derivative end argument above this value selects a natural end.
inline constexpr double spline_natural_limit = 9.9e29;

/// Second derivatives y2[1..n] of the spline through x[1..n] (strictly
/// increasing, n >= 2; not checked) and y[1..n]. `d1` and `dn` are the first
/// derivatives at the first and last knot; a value > 9.9e29 (pass 1e30) gives
/// a natural end instead (second derivative zero there). Allocates one work
/// array; may throw "allocation failure in vector()".
/// With fewer than two knots there is no curve: y2[1] (if n == 1) is set to 0.
void spline_coeffs(const double* x, const double* y, int n, double d1, double dn, double* y2);

/// Value of the spline at `x` into *y, from the knots xa[1..n], ya[1..n] and
/// y2a[1..n] of spline_coeffs. Bisection puts an interior knot on the
/// interval to its right; outside [xa[1], xa[n]] the end cubic extrapolates.
/// Keeps no state and allocates nothing. Throws (fatal_error)
/// "Bad xa input to routine splint" when the bracketing abscissae are equal
/// (this includes n = 1; n < 1 is treated the same).
void spline_eval(const double* xa, const double* ya, const double* y2a, int n, double x, double* y);

/// The spline's cubic on the knot interval [xa[lo], xa[hi]] at x, as spline_eval
/// evaluates it once it has found the interval (the width must not be 0).
inline double spline_piece(const double* xa, const double* ya, const double* y2a, int lo, int hi,
                           double x) {
    const double h = xa[hi] - xa[lo];
    const double a = (xa[hi] - x) / h;
    const double b = (x - xa[lo]) / h;
    return a * ya[lo] + b * ya[hi] +
           ((a * a * a - a) * y2a[lo] + (b * b * b - b) * y2a[hi]) * (h * h) / 6.0;
}

/// The lower end of the interval that spline_eval's bisection finds for x
/// (n >= 2): for non-decreasing xa[1..n] this is the largest lo in 1..n-1
/// with xa[lo] <= x, or 1 when there is none.
int spline_interval(const double* xa, int n, double x);

}  // namespace nongauss
