#pragma once

// The analysis: a series -> the resampled series -> increments at a scale ->
// lambda and the densities.
//
// Thread safety: the library has no global state. Any number of analyses may
// run at once on different threads, also on the same (const) Series and the
// same ThreadPool. A call spreads its loops over the threads of the pool it
// is given (ScaleOptions::pool); every result is the same double whatever the
// number of threads.

#include <vector>

#include "nongauss/result.hpp"
#include "nongauss/series.hpp"
#include "nongauss/settings.hpp"
#include "nongauss/thread_pool.hpp"
#include "nongauss/transcript.hpp"

namespace nongauss {

/// A stretch of time, seconds from the start of the series, ends included.
struct TimeStretch {
    double from = 0.0;
    double to = 0.0;
};

struct ScaleOptions {
    /// Compute the histogram (Result::bin_centre, p_exp) and, with
    /// model_density, the model density; false leaves all three empty, for
    /// callers that want SD and lambda alone.
    bool densities = true;
    /// Compute the model density (the most costly part of a scale after the
    /// increments; the PDF file needs it).
    bool model_density = true;
    /// Keep the standardised increments in Result::increments.
    bool increments = false;
    /// The threads the call may use, besides the calling thread; none: the
    /// calling thread alone. analyse_scales gives them whole scales, one
    /// thread per scale, several scales at once.
    ThreadPool* pool = nullptr;
    /// Stretches whose resampled points no analysed increment may use: every
    /// detrending window (without detrending, every moving sum) holding a
    /// resampled point t = (j - 1) dt with from <= t <= to is left out of
    /// the increments and all that is computed from them (nongauss/masked.hpp
    /// makes them from flagged intervals). Empty: every window is used, and
    /// the numbers are those of an analysis without this option.
    std::vector<TimeStretch> masked;
};

/// The analysis at settings.scale, as the tool runs it after its reader.
/// Writes the tool's transcript from "number of input data" to the last line
/// before the TS file line, and "square of lambda = ..." where it appears.
/// Throws Error (kind fatal) with the tool's messages; the result is then
/// not made. Settings are taken with_limits().
Result analyse(const Series& series, const Settings& settings, Transcript& transcript,
               const ScaleOptions& options = {});
Result analyse(const Series& series, const Settings& settings, const ScaleOptions& options = {});

/// The analysis at every scale of `scales` (seconds, each limited as
/// Settings::scale; in order, duplicates allowed), from one unit decision, one
/// resampling, one mean removal and one profile. Result i is, double for
/// double, analyse() of the series with settings.scale = scales[i]
/// (settings.scale itself is ignored).
///
/// Transcript: the part before the scale line once, then per scale the scale
/// line and what follows it in a run at that scale. Scales run side by side
/// on the threads of ScaleOptions::pool (the calling thread one of them);
/// each scale's part is held until the parts before it are out, and the
/// calling thread passes them on, so the transcript is the one a run of one
/// scale after the other writes. Memory: one scale's arrays per thread.
///
/// Errors of the whole series (the resampling: "The data length is too
/// long!\n", an allocation, "Bad xa input to routine splint") are thrown.
/// Errors of one scale ("The data length is not enough!\n", the resampled or
/// coarse-grained series out of range, the fits) go to that Result's `error`
/// and the other scales go on.
std::vector<Result> analyse_scales(const Series& series, const Settings& settings,
                                   const std::vector<double>& scales, Transcript& transcript,
                                   const ScaleOptions& options = {});
std::vector<Result> analyse_scales(const Series& series, const Settings& settings,
                                   const std::vector<double>& scales,
                                   const ScaleOptions& options = {});

/// The Result of a scale that could not be analysed: scale_s and scale_pt as
/// an analysis with `settings` at `scale` reports them (with_limits(), then
/// scale_in_points()), and `error`; the series' fields (n_beats, duration_s,
/// unit, warnings) are the caller's to fill in.
Result failed_scale(const Settings& settings, double scale, Error error);

/// The scale in points: scale / dt rounded to the nearest integer (halves
/// up), raised to 1 when it comes out 0, and saturated at the largest long.
long scale_in_points(double scale, double dt);

/// `count` scales from `from` to `to` spaced evenly on a logarithmic axis:
/// from * (to / from)^(i / (count - 1)), i = 0..count-1, the ends exact;
/// count 1 gives {from}. Needs from > 0, to > 0, count >= 1. When to / from
/// is beyond the range of doubles (1e-300 to 1e300), the scales between the
/// ends are exp(ln from + (ln to - ln from) i / (count - 1)): finite numbers.
std::vector<double> log_spaced_scales(double from, double to, int count);

}  // namespace nongauss
