#include "driver/interval_check.hpp"

#include <cmath>
#include <cstdio>

#include "prep/resample.hpp"

namespace nongauss {

int first_unusable_interval(const double* rri, int ndata) {
    for (int i = 1; i <= ndata; ++i)
        if (!(rri[i] > 0.0) || !std::isfinite(rri[i])) return i;
    return 0;
}

bool check_intervals(const double* rri, int ndata) {
    const int row = first_unusable_interval(rri, ndata);
    if (row == 0) return true;
    std::fprintf(stderr, "Invalid RR interval at row %d: %g (intervals must be positive and finite)\n",
                 row, rri[row]);
    return false;
}

int first_stalled_interval(const double* rri, int ndata, double& elapsed) {
    elapsed = 0.0;
    if (ndata < 1) return 0;
    // The same conversion and the same accumulation as the resampling stage,
    // so that the times compared here are the times it works with.
    const double unit = input_unit(rri[1]);
    for (int i = 1; i <= ndata - 1; ++i) {
        const double seconds = unit > 1 ? rri[i] / unit : rri[i];
        const double next = elapsed + seconds;
        if (!(next > elapsed)) return i;
        elapsed = next;
    }
    return 0;
}

bool check_time_axis(const double* rri, int ndata) {
    double elapsed = 0.0;
    const int row = first_stalled_interval(rri, ndata, elapsed);
    if (row == 0) return true;
    std::fprintf(stderr,
                 "Invalid RR interval at row %d: %g (does not advance the elapsed time of %g sec)\n",
                 row, rri[row], elapsed);
    return false;
}

}  // namespace nongauss
