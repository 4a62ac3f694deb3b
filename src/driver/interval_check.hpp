#pragma once

// Rejection of intervals the analysis cannot take.

namespace nongauss {

/// 1-based row of the first interval in rri[1..ndata] that is not a positive
/// finite number, or 0 when every interval is usable.
int first_unusable_interval(const double* rri, int ndata);

/// Checks rri[1..ndata]; on the first unusable interval prints
/// "Invalid RR interval at row %d: %g (intervals must be positive and finite)\n"
/// to standard error and returns false.
bool check_intervals(const double* rri, int ndata);

}  // namespace nongauss
