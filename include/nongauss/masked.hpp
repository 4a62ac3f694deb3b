#pragma once

// The analysis clear of artefacts: flagged stretches of a series filled so
// that its time axis stays whole, and every increment window that touches a
// filled stretch left out.
//
// Filling: each stretch of consecutive flagged intervals, of total time T, is
// replaced by n = T / m intervals (rounded, at least 1), m the mean of the
// kept intervals just before and after it (the one that exists at an end of
// the series); their lengths run linearly from the kept interval before to
// the one after and are scaled to sum to T (up to rounding), so the time
// after the stretch stays where it was. The fill only keeps the resampling
// and the profile whole: no increment that uses it is analysed.
//
// Leaving out: the resampled values that a filled interval reaches lie from
// the start of the kept interval before the stretch to the end of the kept
// interval after it (linear interpolation and the spline's neighbouring
// pieces reach that far); that time is a masked stretch. Every detrending
// window (2 scale_pt points, giving scale_pt increments) or, without
// detrending, every moving sum (scale_pt points) that holds a resampled
// point of a masked stretch is left out of the increments, their mean and
// SD, lambda and the densities (ScaleOptions::masked). With no masked
// stretch the analysis is the one without masking, double for double.

#include <vector>

#include "nongauss/analysis.hpp"
#include "nongauss/interval_flags.hpp"
#include "nongauss/series.hpp"

namespace nongauss {

/// A series with its flagged stretches filled, and the time they reach.
struct FilledSeries {
    Series series;
    /// Seconds from the start of `series` (as the resampling counts them),
    /// in order; what ScaleOptions::masked takes.
    std::vector<TimeStretch> masked;
    std::size_t flagged = 0;     ///< flagged intervals of the input
    std::size_t filled = 0;      ///< intervals that replace them
    std::size_t stretches = 0;   ///< stretches of consecutive flagged intervals
};

/// Fills the flagged stretches of `series` (one flag per interval; any flag
/// but IntervalFlag::kept counts). Throws Error (kind input) when the flags
/// are not one per interval or every interval is flagged. Without a flag the
/// series is returned as it is and `masked` is empty.
FilledSeries fill_flagged(const Series& series, const std::vector<IntervalFlag>& flags);

/// fill_flagged, then analyse_scales of the filled series with its masked
/// stretches (options.masked is replaced). Result::windows_used and
/// windows_left_out say what each scale kept.
std::vector<Result> analyse_masked(const Series& series, const std::vector<IntervalFlag>& flags,
                                   const Settings& settings, const std::vector<double>& scales,
                                   const ScaleOptions& options = {});

}  // namespace nongauss
