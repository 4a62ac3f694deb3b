#include "prep/interval_check.hpp"

#include <cmath>

#include "nongauss/error.hpp"
#include "nongauss/formatted.hpp"

namespace nongauss {

int first_unusable_interval(const double* rri, int ndata) {
    for (int i = 1; i <= ndata; ++i)
        if (!(rri[i] > 0.0) || !std::isfinite(rri[i])) return i;
    return 0;
}

int first_stalled_interval(const double* rri, int ndata, double unit, double& elapsed) {
    elapsed = 0.0;
    // The same conversion and the same accumulation as the resampling stage,
    // so that the times compared here are the times it works with.
    for (int i = 1; i <= ndata - 1; ++i) {
        const double seconds = unit > 1 ? rri[i] / unit : rri[i];
        const double next = elapsed + seconds;
        if (!(next > elapsed)) return i;
        elapsed = next;
    }
    return 0;
}

void check_intervals(const double* rri, int ndata, double unit) {
    const int unusable = first_unusable_interval(rri, ndata);
    double elapsed = 0.0;
    const int stalled = unusable == 0 ? first_stalled_interval(rri, ndata, unit, elapsed) : 0;
    reject_intervals(rri, unusable, stalled, elapsed);
}

void reject_intervals(const double* rri, int unusable_row, int stalled_row, double elapsed) {
    if (unusable_row != 0)
        throw Error(ErrorKind::input,
                    formatted("Invalid RR interval at row %d: %g (intervals must be positive and finite)",
                              unusable_row, rri[unusable_row]));
    if (stalled_row != 0)
        throw Error(ErrorKind::input,
                    formatted("Invalid RR interval at row %d: %g (does not advance the elapsed time of %g sec)",
                              stalled_row, rri[stalled_row], elapsed));
}

}  // namespace nongauss
