#pragma once

// The cleaned series: kept intervals as their text stood, flagged intervals
// left out or replaced (see nongauss/clean.hpp for the replacement).

#include <string>
#include <vector>

#include "nongauss/clean.hpp"

namespace nongauss::clean {

/// Lengths, in units of 10^-decimals of the file's unit, of the intervals that
/// fill a stretch of time `total` between kept intervals `before` and `after`
/// (same unit). Empty when the stretch cannot be filled.
std::vector<long long> fill_stretch(double before, double after, double total, int decimals);

/// `units` (positive) times 10^-decimals as decimal text with exactly
/// `decimals` places: format_units(75781250, 8) is "0.75781250".
std::string format_units(long long units, int decimals);

/// The output text, one interval per line with LF line ends, and in
/// `values` (when not null) the numbers it reads back as. Needs at least one
/// kept interval when `replace` is set.
std::string cleaned_text(const RRText& rr, const std::vector<IntervalFlag>& flags, bool replace,
                         int decimals, OutputCounts& counts, std::vector<double>* values = nullptr);

}  // namespace nongauss::clean
