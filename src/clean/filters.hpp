#pragma once

// The cleaner's filters (see nongauss/clean.hpp for what they flag).

#include <vector>

#include "nongauss/clean.hpp"

namespace nongauss::clean {

/// Median of `values` (the mean of the two middle values for an even count);
/// reorders `values`. Needs at least one value.
double median_of(std::vector<double>& values);

/// One flag per interval of `seconds` (intervals in seconds): kept, or the
/// first filter that flagged it (out_of_range before the local filter's
/// flags). The detector looks at the intervals that passed the range filter
/// as a series of their own, as the median filter does.
std::vector<IntervalFlag> flag_intervals(const std::vector<double>& seconds, const FilterSettings& settings);

}  // namespace nongauss::clean
