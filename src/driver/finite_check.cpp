#include "driver/finite_check.hpp"

#include <cmath>
#include <cstdio>

#include "numeric/fatal_error.hpp"

namespace nongauss {

int first_point_out_of_range(const Resampled& series) {
    const double mean_ms = 1000 * series.resampled_mean;
    for (int j = 1; j <= series.nres; ++j)
        if (!std::isfinite(1000 * series.resampled[j] + mean_ms)) return j;
    return 0;
}

void check_resampled(const Resampled& series) {
    const int point = first_point_out_of_range(series);
    if (point == 0) return;
    char message[80];
    std::snprintf(message, sizeof message, "The resampled series is out of range at point %d!", point);
    fatal_error(message);
}

bool increments_in_range(const Increments& inc) {
    if (!std::isfinite(1000 * inc.cg_sd)) return false;
    for (int i = 1; i <= inc.ncg; ++i)
        if (!std::isfinite(1000 * inc.cg_series[i])) return false;
    return true;
}

void check_increments(const Increments& inc) {
    if (!increments_in_range(inc)) fatal_error("The coarse-grained series is out of range!");
}

}  // namespace nongauss
