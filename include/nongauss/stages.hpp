#pragma once

// The analysis in its stages, for callers that need what lies between them
// (the tool writes its TS file from the resampled series and the centred
// increments before lambda is estimated). analyse() and analyse_scales() are
// these stages in sequence:
//
//   PreparedSeries prepared(series, settings, transcript);   // once per series
//   for each scale:
//     ScaleIncrements inc = increments_at(prepared, scale, transcript);
//     Result r = complete(std::move(inc), prepared, transcript, options);
//

#include <memory>
#include <span>

#include "nongauss/analysis.hpp"

namespace nongauss {

/// Everything that does not depend on the scale: the unit decision, the total
/// time, the resampling, the mean removal and, when detrending, the profile
/// (its running sum). Move-only; may be shared (const) by threads.
class PreparedSeries {
public:
    /// Writes the transcript from "number of input data" through the method
    /// line ("Resamping ..."). Throws Error (fatal): "The data length is too
    /// long!\n" (before any line), "allocation failure in vector()" (before
    /// any line), "Bad xa input to routine splint" (after the method line).
    PreparedSeries(const Series& series, const Settings& settings, Transcript& transcript,
                   const ScaleOptions& options = {});
    ~PreparedSeries();
    PreparedSeries(PreparedSeries&&) noexcept;
    PreparedSeries& operator=(PreparedSeries&&) noexcept;

    /// The settings with_limits().
    const Settings& settings() const noexcept;
    std::size_t n_beats() const noexcept;
    double duration_s() const noexcept;
    Unit unit() const noexcept;
    const std::vector<std::string>& warnings() const noexcept;
    /// Number of resampled points: duration_s() / dt, truncated.
    int nres() const noexcept;
    /// The resampled series in seconds, mean removed: nres() values.
    std::span<const double> resampled() const noexcept;
    /// The mean removed, seconds.
    double resampled_mean_s() const noexcept;

    struct Impl;
    const Impl& impl() const noexcept { return *impl_; }

private:
    std::unique_ptr<Impl> impl_;
};

/// The centred increments at one scale. Move-only.
class ScaleIncrements {
public:
    ScaleIncrements();
    ~ScaleIncrements();
    ScaleIncrements(ScaleIncrements&&) noexcept;
    ScaleIncrements& operator=(ScaleIncrements&&) noexcept;

    double scale_s() const noexcept;  ///< after the limit (at least 2)
    long scale_pt() const noexcept;
    int count() const noexcept;       ///< the number of increments
    double mean_s() const noexcept;   ///< mean before centring, seconds
    double sd_s() const noexcept;     ///< standard deviation (divisor count()), seconds
    /// Each increment - mean_s(), seconds: count() values.
    std::span<const double> centred() const noexcept;

    struct Impl;
    Impl& impl() noexcept { return *impl_; }
    const Impl& impl() const noexcept { return *impl_; }

private:
    std::unique_ptr<Impl> impl_;
};

/// The increments at `scale` seconds (limited as Settings::scale). Writes the
/// scale line ("scale: %5.5lf (%ld pt)") and then the coarse-graining lines.
/// Throws Error (fatal), after the scale line: "The resampled series is out
/// of range at point %d!", "The data length is not enough!\n" (before the
/// coarse-graining lines), the fits' messages, "The coarse-grained series is
/// out of range!".
ScaleIncrements increments_at(const PreparedSeries& prepared, double scale, Transcript& transcript,
                              const ScaleOptions& options = {});

/// Standardises the increments, estimates lambda ("square of lambda = %lf"
/// in the transcript when the estimate is not positive and finite), the
/// histogram and, when asked, the model density. The increments are only
/// read (each standardised value is worked out where it is used), so other
/// threads may read them, e.g. to write them out, while this runs.
Result complete(const ScaleIncrements& increments, const PreparedSeries& prepared,
                Transcript& transcript, const ScaleOptions& options = {});
Result complete(ScaleIncrements&& increments, const PreparedSeries& prepared,
                Transcript& transcript, const ScaleOptions& options = {});

}  // namespace nongauss
