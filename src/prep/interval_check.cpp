#include "prep/interval_check.hpp"

#include <cmath>

#include "nongauss/error.hpp"
#include "text/printf.hpp"

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
    int row = first_unusable_interval(rri, ndata);
    if (row != 0)
        throw Error(ErrorKind::input,
                    formatted("Invalid RR interval at row %d: %g (intervals must be positive and finite)",
                              row, rri[row]));
    double elapsed = 0.0;
    row = first_stalled_interval(rri, ndata, unit, elapsed);
    if (row != 0)
        throw Error(ErrorKind::input,
                    formatted("Invalid RR interval at row %d: %g (does not advance the elapsed time of %g sec)",
                              row, rri[row], elapsed));
}

}  // namespace nongauss
