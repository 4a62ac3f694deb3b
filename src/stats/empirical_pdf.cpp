#include "stats/empirical_pdf.hpp"

#include <cmath>

namespace nongauss {

void estimate_pdf(int n, const double* x, int nbins, double* bin_centre, double* p_exp) {
    if (n < 1) {
        for (int i = 1; i <= nbins; ++i) {
            bin_centre[i] = 0;
            p_exp[i] = 0;
        }
        return;
    }

    double mn = x[1];
    double mx = x[1];
    for (int i = 2; i <= n; ++i) {
        if (x[i] < mn) mn = x[i];
        if (x[i] > mx) mx = x[i];
    }
    if (std::fabs(mn) < std::fabs(mx)) {
        mn = -mx;
    } else {
        mx = -mn;
    }

    // The order of these steps decides which side of w/2 the remainder falls
    // on, and with it the layout of the bins.
    const double w = (mx - mn) / (nbins - 1);
    const double rem = mx - std::floor(mx / w) * w;
    double origin;
    if (w / 2 < rem) {
        origin = (mn - rem) + w / 2;
    } else {
        origin = (mn - rem) - w / 2;
    }

    for (int i = 1; i <= nbins; ++i) {
        bin_centre[i] = i * w + origin;
        p_exp[i] = 0;
    }
    if (!std::isfinite(mx) || mx == 0.0) return;  // no usable range

    const double upper = static_cast<double>(nbins) + 1.0;
    for (int i = 1; i <= n; ++i) {
        const double kd = (x[i] - origin) / w + 0.5;
        if (!(kd >= 0.0 && kd < upper)) continue;  // also rejects NaN
        const int k = static_cast<int>(kd);
        if (k >= 1 && k <= nbins) p_exp[k] = p_exp[k] + 1;
    }

    for (int i = 1; i <= nbins; ++i) p_exp[i] = (p_exp[i] / n) / w;
}

}  // namespace nongauss
