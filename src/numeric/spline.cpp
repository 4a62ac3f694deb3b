#include "numeric/spline.hpp"

#include "numeric/arrays.hpp"
#include "numeric/fatal_error.hpp"

namespace nongauss {

void spline_coeffs(const double* x, const double* y, int n, double d1, double dn, double* y2) {
    if (n < 2) {  // outside the contract; keep the array defined and stay in bounds
        if (n == 1) y2[1] = 0.0;
        return;
    }
    const OwnedVector work(1, n - 1);

    if (d1 > spline_natural_limit) {
        y2[1] = 0.0;
        work[1] = 0.0;
    } else {
        y2[1] = -0.5;
        work[1] = (3.0 / (x[2] - x[1])) * ((y[2] - y[1]) / (x[2] - x[1]) - d1);
    }

    // Forward sweep of the tridiagonal system.
    for (int i = 2; i <= n - 1; ++i) {
        const double ratio = (x[i] - x[i - 1]) / (x[i + 1] - x[i - 1]);
        const double denom = ratio * y2[i - 1] + 2.0;
        y2[i] = (ratio - 1.0) / denom;
        work[i] = (y[i + 1] - y[i]) / (x[i + 1] - x[i]) - (y[i] - y[i - 1]) / (x[i] - x[i - 1]);
        work[i] = (6.0 * work[i] / (x[i + 1] - x[i - 1]) - ratio * work[i - 1]) / denom;
    }

    double cn = 0.0;
    double rn = 0.0;
    if (!(dn > spline_natural_limit)) {
        cn = 0.5;
        rn = (3.0 / (x[n] - x[n - 1])) * (dn - (y[n] - y[n - 1]) / (x[n] - x[n - 1]));
    }
    y2[n] = (rn - cn * work[n - 1]) / (cn * y2[n - 1] + 1.0);

    // Back substitution.
    for (int k = n - 1; k >= 1; --k) y2[k] = y2[k] * y2[k + 1] + work[k];
}

int spline_interval(const double* xa, int n, double x) {
    int lo = 1;
    int hi = n;
    while (hi - lo > 1) {
        const int k = (hi + lo) / 2;
        if (xa[k] > x)
            hi = k;
        else
            lo = k;
    }
    return lo;
}

void spline_eval(const double* xa, const double* ya, const double* y2a, int n, double x, double* y) {
    if (n < 1) fatal_error("Bad xa input to routine splint");
    const int lo = spline_interval(xa, n, x);
    const int hi = n < 2 ? n : lo + 1;
    if (xa[hi] - xa[lo] == 0.0) fatal_error("Bad xa input to routine splint");
    *y = spline_piece(xa, ya, y2a, lo, hi, x);
}

}  // namespace nongauss
