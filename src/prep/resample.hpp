#pragma once

// Unit detection and resampling of the RR-interval series onto an even grid.

#include "nongauss/settings.hpp"

namespace nongauss {

class ThreadPool;

/// Resamples rri[1..ndata] (seconds) onto t(j) = (j - 1) * dt, j = 1..nres,
/// into out[1..nres] by `method`. Needs nres >= 1 and (nres - 1) * dt below
/// the start of the last interval, so that no grid point leaves the series.
/// Should rounding put the last grid points past that start (the total time
/// is summed in the input's unit, the time axis in seconds), the step
/// function and linear interpolation continue the last interval's piece
/// rather than read beyond rri[ndata]; the spline extrapolates its end cubic.
/// The spline may throw (fatal_error): an allocation, or "Bad xa input to
/// routine splint" where two knots coincide.
void resample(const double* rri, int ndata, double dt, Interpolation method, double* out, int nres,
              ThreadPool& pool);

}  // namespace nongauss
