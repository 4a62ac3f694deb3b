#pragma once

// Guards that end a run whose intermediate series has left the range of
// doubles, so that no file or summary of infinities and not-a-numbers is ever
// reported as a result. The ranges checked are those of the values as they are
// written: milliseconds, 1000 times the values in seconds.

#include "coarse/increments.hpp"
#include "prep/resample.hpp"

namespace nongauss {

/// 1-based index of the first resampled point j whose value in the TS file,
/// 1000 * resampled[j] + 1000 * resampled_mean, is not finite; 0 when all are
/// (an undefined or infinite mean shows in every point).
int first_point_out_of_range(const Resampled& series);

/// Checks the resampled series after mean removal; on the first point out of
/// range ends the process through fatal_error with
/// "The resampled series is out of range at point %d!".
void check_resampled(const Resampled& series);

/// True when 1000 * cg_sd and 1000 * cg_series[i] (centred), i = 1..ncg, are
/// finite; a non-finite increment, or a sum of squares beyond the double range,
/// makes the standard deviation non-finite.
bool increments_in_range(const Increments& inc);

/// Checks the centred increments; when they are out of range ends the process
/// through fatal_error with "The coarse-grained series is out of range!".
void check_increments(const Increments& inc);

}  // namespace nongauss
