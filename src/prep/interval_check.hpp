#pragma once

// Rejection of intervals the analysis cannot take.

namespace nongauss {

/// 1-based row of the first interval in rri[1..ndata] that is not a positive
/// finite number, or 0 when every interval is usable.
int first_unusable_interval(const double* rri, int ndata);

/// 1-based row of the first interval of rri[1..ndata - 1] (positive, as read,
/// in the unit whose divisor into seconds is `unit`) that, converted to
/// seconds as the resampling stage converts it, leaves the elapsed time
/// unchanged when added to it: an interval that vanishes against the time
/// already elapsed, so that two points of the time axis coincide. 0 when the
/// time axis strictly increases. The last interval does not enter the time
/// axis. `elapsed` receives the elapsed time (seconds) that the interval
/// failed to advance.
int first_stalled_interval(const double* rri, int ndata, double unit, double& elapsed);

/// Checks rri[1..ndata] (unit divisor `unit`) and throws Error (input) with
///   "Invalid RR interval at row %d: %g (intervals must be positive and finite)"
/// for the first unusable interval, or, when all are usable,
///   "Invalid RR interval at row %d: %g (does not advance the elapsed time of %g sec)"
/// for the first stalled one.
void check_intervals(const double* rri, int ndata, double unit);

/// The throw of check_intervals for what the two searches found: the
/// unusable row when it is not 0, else the stalled row (with the elapsed time
/// it failed to advance) when that is not 0; nothing when both are 0.
void reject_intervals(const double* rri, int unusable_row, int stalled_row, double elapsed);

}  // namespace nongauss
