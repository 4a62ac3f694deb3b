#pragma once

// One pass over the intervals of a series as read, for everything that is
// checked and counted about them before the analysis: what the checks of
// prep/interval_check look for, the sum that gives the duration, and the
// tallies behind the warnings of prep/series_warnings. Each quantity is the
// same double, computed in the same order, as the function it stands for.

#include <cstddef>

#include "prep/series_warnings.hpp"

namespace nongauss {

struct IntervalSurvey {
    int unusable_row = 0;          ///< first_unusable_interval
    int stalled_row = 0;           ///< first_stalled_interval (when unusable_row is 0)
    double stalled_elapsed = 0.0;  ///< and the elapsed time it reports
    double sum = 0.0;              ///< rri[1] + rri[2] + ... + rri[ndata], from 0
    RangeTally range;              ///< of rri[i] / unit, i = 1..ndata
    std::size_t others_at_most_100 = 0;  ///< i = 2..ndata with rri[i] <= 100
};

/// The survey of rri[1..ndata] in the unit whose divisor into seconds is
/// `unit` (1 or more, as Series::unit_divisor gives it).
IntervalSurvey survey_intervals(const double* rri, int ndata, double unit);

}  // namespace nongauss
