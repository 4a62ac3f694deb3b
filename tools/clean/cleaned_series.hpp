#pragma once

// The cleaned series: kept intervals as their text stood, flagged intervals
// left out or replaced.
//
// Replacement works on each stretch of consecutive flagged intervals. The
// stretch's time T (the sum of its intervals) is filled with n intervals,
// n = T / m rounded to the nearest integer and at least 1, where m is the mean
// of the nearest kept intervals before and after the stretch (the one that
// exists, at either end of the series). Their lengths run linearly from the
// kept interval before to the one after and are scaled to sum to T; the
// boundaries between them are rounded to the file's resolution, so that the
// written intervals add up to T exactly in the file's decimals and the time
// axis after the stretch is unchanged. A stretch whose time is not positive
// (or not finite) has nothing to fill and is deleted.

#include <cstddef>
#include <string>
#include <vector>

#include "clean/filters.hpp"
#include "clean/rr_text.hpp"

namespace nongauss::clean {

struct OutputCounts {
    std::size_t kept = 0;          ///< intervals written as read
    std::size_t interpolated = 0;  ///< intervals written by replacement
    std::size_t stretches = 0;     ///< stretches of flagged intervals replaced
    std::size_t unfilled = 0;      ///< flagged intervals deleted in replace mode (no time to fill)
    std::size_t written() const { return kept + interpolated; }
};

/// Lengths, in units of 10^-decimals of the file's unit, of the intervals that
/// fill a stretch of time `total` between kept intervals `before` and `after`
/// (same unit). Empty when the stretch cannot be filled.
std::vector<long long> fill_stretch(double before, double after, double total, int decimals);

/// `units` (positive) times 10^-decimals as decimal text with exactly
/// `decimals` places: format_units(75781250, 8) is "0.75781250".
std::string format_units(long long units, int decimals);

/// The output text, one interval per line with LF line ends. Needs at least
/// one kept interval when `replace` is set.
std::string cleaned_text(const RRText& rr, const std::vector<Flag>& flags, bool replace,
                         int decimals, OutputCounts& counts);

}  // namespace nongauss::clean
