#pragma once

// Rejection of intervals the analysis cannot take (found by survey_intervals,
// prep/interval_survey.hpp).

namespace nongauss {

/// Throws Error (input) for what the survey of rri[1..ndata] found: with
///   "Invalid RR interval at row %d: %g (intervals must be positive and finite)"
/// for the unusable row when it is not 0, else with
///   "Invalid RR interval at row %d: %g (does not advance the elapsed time of %g sec)"
/// for the stalled row (with the elapsed time it failed to advance) when that
/// is not 0; nothing when both are 0.
void reject_intervals(const double* rri, int unusable_row, int stalled_row, double elapsed);

}  // namespace nongauss
