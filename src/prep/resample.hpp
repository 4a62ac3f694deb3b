#pragma once

// Unit detection and resampling of the RR-interval series onto an even grid.

namespace nongauss {

/// Resampling methods; any value other than 0 and 1 selects the cubic spline.
enum : int { step_function = 0, linear_interpolation = 1 };

/// What the preparation stage hands to the later stages.
struct Resampled {
    double unit = 1.0;            ///< 1000 for milliseconds, 1 for seconds
    double total_time = 0.0;      ///< seconds from the first interval's start to the last one's
    int nres = 0;                 ///< number of resampled points
    double* resampled = nullptr;  ///< resampled[1..nres], seconds, mean removed
    double resampled_mean = 0.0;  ///< mean before its removal, seconds
    long scale_pt = 1;            ///< the scale in points, at least 1
};

/// The unit of a series whose first interval is `first_interval`: 1000
/// (milliseconds) when it exceeds 100, otherwise 1 (seconds).
double input_unit(double first_interval);

/// The scale in points: scale / dt rounded to the nearest integer (halves
/// up), raised to 1 when it comes out 0, and saturated at the largest long.
long scale_in_points(double scale, double dt);

/// Resamples rri[1..ndata] (seconds) onto t(j) = (j - 1) * dt, j = 1..nres,
/// into out[1..nres] by `method`. Needs nres >= 1 and (nres - 1) * dt below
/// the start of the last interval, so that no grid point leaves the series.
/// Should rounding put the last grid points past that start (the total time
/// is summed in the input's unit, the time axis in seconds), the step
/// function and linear interpolation continue the last interval's piece
/// rather than read beyond rri[ndata]; the spline extrapolates its end cubic.
/// The spline may end the process through fatal_error (allocation).
void resample(const double* rri, int ndata, double dt, int method, double* out, int nres);

/// The preparation stage: detects the unit from rri[1] (milliseconds when it
/// exceeds 100), computes the total time and the number of points, converts
/// rri[1..ndata] to seconds in place, prints the input report, the method
/// line and the scale line, resamples and removes the mean. With nres = 0
/// the series is not touched and the mean is 0. Ends the process through
/// fatal_error when the number of points does not fit an int.
Resampled prepare_series(double* rri, int ndata, double dt, double scale, int interp_method);

}  // namespace nongauss
