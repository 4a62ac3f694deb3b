#include "numeric/spline.hpp"

#include "numeric/arrays.hpp"
#include "numeric/fatal_error.hpp"

namespace nongauss {

void spline_coeffs(const double* x, const double* y, int n, double d1, double dn, double* y2) {
    if (n < 2) {  // outside the contract; keep the array defined and stay in bounds
        if (n == 1) y2[1] = 0.0;
        return;
    }
    double* work = vector(1, n - 1);

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

    release_vector(work, 1, n - 1);
}

void splint(const double* xa, const double* ya, const double* y2a, int n, double x, double* y) {
    if (n < 1) fatal_error("Bad xa input to routine splint");

    int lo = 1;
    int hi = n;
    while (hi - lo > 1) {
        const int k = (hi + lo) / 2;
        if (xa[k] > x)
            hi = k;
        else
            lo = k;
    }

    const double h = xa[hi] - xa[lo];
    if (h == 0.0) fatal_error("Bad xa input to routine splint");
    const double a = (xa[hi] - x) / h;
    const double b = (x - xa[lo]) / h;
    *y = a * ya[lo] + b * ya[hi] +
         ((a * a * a - a) * y2a[lo] + (b * b * b - b) * y2a[hi]) * (h * h) / 6.0;
}

}  // namespace nongauss
