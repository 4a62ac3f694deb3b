#pragma once

// Guards that end a run whose intermediate series has left the range of
// doubles, so that no file or summary of infinities and not-a-numbers is ever
// reported as a result. The ranges checked are those of the values as they are
// written: milliseconds, 1000 times the values in seconds.

namespace nongauss {

/// 1-based index of the first resampled point j whose value in the TS file,
/// 1000 * resampled[j] + 1000 * mean, is not finite; 0 when all of
/// resampled[1..nres] are (an undefined or infinite mean shows in every point).
int first_point_out_of_range(const double* resampled, int nres, double mean);

}  // namespace nongauss
