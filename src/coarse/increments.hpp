#pragma once

// Coarse-grained increments of the resampled series at a scale, with or
// without local polynomial detrending.

#include <functional>
#include <vector>

#include "nongauss/thread_pool.hpp"
#include "nongauss/transcript.hpp"
#include "numeric/arrays.hpp"
#include "numeric/window_fit.hpp"

namespace nongauss {

/// The increments and their statistics.
struct Increments {
    OwnedVector centred;  ///< centred[1..count]; allocated over [1..upper]
    int upper = 0;        ///< upper allocation bound, nres - scale_pt + 1 (count at most)
    int count = 0;        ///< number of increments
    double mean_s = 0.0;  ///< mean before centring, seconds
    double sd_s = 0.0;    ///< standard deviation (divisor count), seconds
    long windows_used = 0;      ///< detrending windows (or moving sums) kept
    long windows_left_out = 0;  ///< those that touch a masked point
};

/// Masked resampled points as counts: masked[j] is the number of masked
/// points among 1..j (masked[0] = 0), j = 0..nres.
using MaskedCounts = std::vector<int>;

/// The profile of a resampled series: profile[1..nres], its running sum in
/// index order (profile[1] = resampled[1]). Supplied on demand to
/// coarse_grain, which asks for it once the detrending lines are written.
using ProfileSource = std::function<const double*()>;

/// How the detrending fits are made; both give the same increments, bit for
/// bit.
enum class WindowFits {
    /// The fits share the work that depends on the abscissae
    /// (SharedAbscissaeFit) up to its max_coefficients; more coefficients
    /// fit every window on its own.
    by_size,
    /// Every window fitted on its own, whatever the number of coefficients.
    each_window,
};

/// Writes the profile of resampled[1..nres] into profile[1..nres] (nres >= 1).
void running_sum(const double* resampled, int nres, double* profile);

/// What coarse_grain works on and how.
struct Grain {
    const double* resampled = nullptr;  ///< resampled[1..nres]
    int nres = 0;
    int ndata = 0;                      ///< intervals the series was made of
    long scale_pt = 0;                  ///< points per window (per sum)
    int ncoef = 0;                      ///< coefficients of the fits; <= 1: no detrending
    FitMethod fit = FitMethod::normal_equations;
    ProfileSource profile;              ///< asked for once, when detrending
    WindowFits fits = WindowFits::by_size;
    const MaskedCounts* masked = nullptr;  ///< windows holding a masked point are left out
};

/// Builds the increments of g.resampled[1..nres] over scale_pt points, then
/// their mean and standard deviation, and centres them (not divided by the
/// standard deviation: the later stages divide each value where they use it).
///
/// ncoef <= 1: moving sums of scale_pt points, writes "WITHOUT detrending\n".
/// ncoef > 1: residuals of polynomial fits with ncoef coefficients, fitted by
/// `fit` as `fits` says, of profile() in half-overlapping windows of
/// 2 * scale_pt points; writes the detrending line and a line of 48 hyphens.
///
/// With `masked` (not null), every window (moving sum) that holds a masked
/// point is left out: the increments of the others are moved down in order,
/// and the mean and SD are those of the increments kept. Every window left
/// out: "Every increment window at this scale touches a flagged stretch!".
/// Without, the windows are all used.
///
/// Before any line is written, a series too short to analyse (ndata < 2,
/// nres < 1, nres < scale_pt, or nres < 2 * scale_pt when detrending) throws
/// (fatal_error) "The data length is not enough!\n". The fitting routines may
/// throw their own messages.
Increments coarse_grain(const Grain& g, Transcript& transcript, ThreadPool& pool);

/// The largest standard deviation of the increments at scale_pt points that
/// is only rounding error of a resampled series whose mean (before its
/// removal) was resampled_mean: the spread a constant series shows.
double rounding_level(double resampled_mean, long scale_pt);

/// When the increments' standard deviation is at most rounding_level, takes
/// it as exactly 0 from then on: sets sd_s and every centred increment to 0
/// and returns true (the series has no variability at this scale).
bool clear_rounding_spread(Increments& inc, double resampled_mean, long scale_pt);

}  // namespace nongauss
