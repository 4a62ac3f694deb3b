#pragma once

// One pass over the intervals of a series as read, for everything that is
// checked and counted about them before the analysis: the intervals that
// prep/interval_check rejects, the sum that gives the duration, and the
// tallies behind the warnings of prep/series_warnings.

#include <cstddef>

#include "prep/series_warnings.hpp"

namespace nongauss {

struct IntervalSurvey {
    /// 1-based row of the first interval that is not a positive finite number, or 0.
    int unusable_row = 0;
    /// 1-based row of the first interval of rri[1..ndata - 1] that, converted
    /// to seconds as the resampling stage converts it, leaves the elapsed time
    /// unchanged when added to it (two points of the time axis coincide), or
    /// 0 when the time axis strictly increases (meaningful when unusable_row
    /// is 0). The last interval does not enter the time axis.
    int stalled_row = 0;
    /// The elapsed time (seconds) that interval failed to advance (with no
    /// such interval: the time at the start of the last one).
    double stalled_elapsed = 0.0;
    double sum = 0.0;              ///< rri[1] + rri[2] + ... + rri[ndata], from 0
    RangeTally range;              ///< of rri[i] / unit, i = 1..ndata
    std::size_t others_at_most_100 = 0;  ///< i = 2..ndata with rri[i] <= 100
};

/// The survey of rri[1..ndata] in the unit whose divisor into seconds is
/// `unit` (1 or more, as Series::unit_divisor gives it).
IntervalSurvey survey_intervals(const double* rri, int ndata, double unit);

}  // namespace nongauss
