#pragma once

// The filters that flag implausible RR intervals.
//
// Range: an interval outside [min_s, max_s] seconds is an artefact (a gap of
// lost signal, a spurious or missed detection).
//
// Local deviation: among the intervals that passed the range filter, an
// interval that differs from the median of its neighbours by more than
// `fraction` of that median is an ectopic beat or an artefact. The neighbours
// are the window - 1 nearest intervals in a centred window; near either end of
// the series the window slides inwards so that it keeps its size, and a
// series shorter than the window uses all its other intervals. The median is
// taken over the neighbours' values as read, whether or not they are flagged
// by this filter themselves: the median ignores any minority of outliers, so
// an ectopic pair or a short run of them cannot move it, and no iteration is
// needed. Intervals that failed the range filter never enter a window.

#include <vector>

namespace nongauss::clean {

enum class Flag : unsigned char { kept, range, deviation };

struct FilterSettings {
    bool range = true;
    double min_s = 0.3;
    double max_s = 2.0;
    bool deviation = true;
    int window = 41;          ///< odd, at least 3
    double fraction = 0.2;    ///< largest deviation as a fraction of the median
};

/// Median of `values` (the mean of the two middle values for an even count);
/// reorders `values`. Needs at least one value.
double median_of(std::vector<double>& values);

/// One flag per interval of `seconds` (intervals in seconds): kept, or the
/// first filter that flagged it (range before deviation).
std::vector<Flag> flag_intervals(const std::vector<double>& seconds, const FilterSettings& settings);

}  // namespace nongauss::clean
