#pragma once

// The state behind the public stage types (nongauss/stages.hpp).

#include <mutex>
#include <string>
#include <vector>

#include "coarse/increments.hpp"
#include "nongauss/stages.hpp"
#include "numeric/arrays.hpp"
#include "numeric/window_fit.hpp"

namespace nongauss {

struct PreparedSeries::Impl {
    Settings settings;  // with_limits()
    int ndata = 0;
    double duration_s = 0.0;
    Unit unit = Unit::seconds;
    std::vector<std::string> warnings;
    int nres = 0;
    OwnedVector resampled;  // [1..nres], seconds, mean removed
    double resampled_mean = 0.0;
    int out_of_range_point = 0;  // first resampled point out of range, or 0
    /// ScaleOptions::masked as counts of masked resampled points; empty: none.
    MaskedCounts masked;

    /// The profile of the resampled series, made on the first request (by
    /// the first scale that detrends) and kept for the later ones.
    const double* profile() const;
    mutable std::mutex profile_mutex;
    mutable OwnedVector profile_array;
};

struct ScaleIncrements::Impl {
    double scale_s = 0.0;
    long scale_pt = 0;
    Increments inc;
    std::vector<std::string> warnings;  // of this scale, after the series'
};

namespace internal {

/// The state behind the stage types, for the library's own functions.
struct StageAccess {
    static const PreparedSeries::Impl& of(const PreparedSeries& p) noexcept { return *p.impl_; }
    static ScaleIncrements::Impl& of(ScaleIncrements& s) noexcept { return *s.impl_; }
    static const ScaleIncrements::Impl& of(const ScaleIncrements& s) noexcept { return *s.impl_; }
};

}  // namespace internal

/// increments_at with the detrending fits made as `fits` says (the public
/// increments_at: WindowFits::by_size); the same increments either way.
ScaleIncrements increments_at(const PreparedSeries& prepared, double scale, Transcript& transcript,
                              const ScaleOptions& options, WindowFits fits);

}  // namespace nongauss
