#include "coarse/increments.hpp"

#include <cmath>
#include <cstdio>

#include "numeric/arrays.hpp"
#include "numeric/fatal_error.hpp"
#include "numeric/lsq_normal.hpp"
#include "numeric/lsq_svd.hpp"

namespace nongauss {

namespace {

bool long_enough(int ndata, int nres, long scale_pt, bool detrending) {
    if (ndata < 2 || nres < 1 || scale_pt > static_cast<long>(nres)) return false;
    return !detrending || static_cast<long>(nres) >= 2 * scale_pt;
}

int moving_sums(const double* resampled, int nres, int scale_pt, double* cg) {
    std::fprintf(stderr, "WITHOUT detrending\n");
    const int ncg = nres - scale_pt + 1;
    for (int i = 1; i <= ncg; ++i) {
        double s = 0.0;
        for (int k = i; k <= i + scale_pt - 1; ++k) s = s + resampled[k];
        cg[i] = s;
    }
    return ncg;
}

int detrended_increments(const double* resampled, int nres, int scale_pt, int ncoef,
                         int fit_method, double* cg) {
    std::fprintf(stderr, "detrend using polynomial fits of order %d\n", ncoef - 1);
    std::fprintf(stderr, "------------------------------------------------\n");

    const int width = 2 * scale_pt;
    double* profile = vector(1, nres);
    double* window_x = vector(1, width);
    double* window_y = vector(1, width);
    double* coef = vector(1, ncoef);
    int ncg = 0;

    profile[1] = resampled[1];
    for (int i = 2; i <= nres; ++i) profile[i] = profile[i - 1] + resampled[i];
    for (int k = 1; k <= width; ++k) window_x[k] = k;

    const int last_start = (nres / scale_pt - 1) * scale_pt;
    for (int s = 1; s <= last_start; s += scale_pt) {
        for (int k = 1; k <= width; ++k) window_y[k] = profile[s + k - 1];
        double chisq = 0.0;
        if (fit_method > 1)
            fit_svd(window_x, window_y, width, coef, ncoef, &chisq);
        else
            fit_normal_eq(window_x, window_y, width, coef, ncoef, &chisq);
        for (int k = 1; k <= width; ++k) window_y[k] = window_y[k] - poly_eval(window_x[k], coef, ncoef);
        for (int k = 1; k <= scale_pt; ++k) {
            ++ncg;
            cg[ncg] = window_y[k + scale_pt] - window_y[k];
        }
    }

    release_vector(window_x, 1, width);
    release_vector(window_y, 1, width);
    release_vector(coef, 1, ncoef);
    release_vector(profile, 1, nres);
    return ncg;
}

}  // namespace

Increments coarse_grain(const double* resampled, int nres, int ndata, long scale_pt, int ncoef,
                        int fit_method) {
    const bool detrending = ncoef > 1;
    if (!long_enough(ndata, nres, scale_pt, detrending))
        fatal_error("The data length is not enough!\n");
    const int points = static_cast<int>(scale_pt);  // scale_pt <= nres from here on

    Increments inc;
    // nres is bounded by the allocation of the resampled series, so this fits.
    inc.upper = 2 * (nres - points) + 2;
    inc.cg_series = vector(1, inc.upper);
    inc.ncg = detrending ? detrended_increments(resampled, nres, points, ncoef, fit_method, inc.cg_series)
                         : moving_sums(resampled, nres, points, inc.cg_series);

    double* cg = inc.cg_series;
    double sum = 0.0;
    for (int i = 1; i <= inc.ncg; ++i) sum = sum + cg[i];
    inc.cg_mean = sum / inc.ncg;
    double squares = 0.0;
    for (int i = 1; i <= inc.ncg; ++i) {
        const double d = cg[i] - inc.cg_mean;
        squares = squares + d * d;
    }
    inc.cg_sd = std::sqrt(squares / inc.ncg);
    for (int i = 1; i <= inc.ncg; ++i) cg[i] = cg[i] - inc.cg_mean;
    return inc;
}

void standardize_increments(Increments& inc) {
    for (int i = 1; i <= inc.ncg; ++i) inc.cg_series[i] = inc.cg_series[i] / inc.cg_sd;
}

}  // namespace nongauss
