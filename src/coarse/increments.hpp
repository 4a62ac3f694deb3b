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
    OwnedVector cg_series;        ///< cg_series[1..ncg]; allocated over [1..upper]
    int upper = 0;                ///< upper allocation bound, nres - scale_pt + 1 (ncg at most)
    int ncg = 0;                  ///< number of increments
    double cg_mean = 0.0;         ///< mean before centring, seconds
    double cg_sd = 0.0;           ///< standard deviation (divisor ncg), seconds
    long windows_used = 0;        ///< detrending windows (or moving sums) kept
    long windows_left_out = 0;    ///< those that touch a masked point
};

/// Masked resampled points as counts: masked[j] is the number of masked
/// points among 1..j (masked[0] = 0), j = 0..nres.
using MaskedCounts = std::vector<int>;

/// The profile of a resampled series: profile[1..nres], its running sum in
/// index order (profile[1] = resampled[1]). Supplied on demand to
/// coarse_grain, which asks for it once the detrending lines are written.
using ProfileSource = std::function<const double*()>;

/// Writes the profile of resampled[1..nres] into profile[1..nres] (nres >= 1).
void running_sum(const double* resampled, int nres, double* profile);

/// Builds the increments of resampled[1..nres] over scale_pt points, then
/// their mean and standard deviation, and centres them (not divided by the
/// standard deviation: the later stages divide each value where they use it).
///
/// ncoef <= 1: moving sums of scale_pt points, writes "WITHOUT detrending\n".
/// ncoef > 1: residuals of polynomial fits with ncoef coefficients
/// (fit_method > 1: singular value decomposition, else normal equations) of
/// profile() in half-overlapping windows of 2 * scale_pt points; writes the
/// detrending line and a line of 48 hyphens. Fits with more than
/// `shared_fit_limit` coefficients fit every window on its own; the others
/// share the work that depends on the abscissae (SharedAbscissaeFit), with
/// the same results. Tests lower the limit to compare the two.
///
/// With `masked` (not null), every window (moving sum) that holds a masked
/// point is left out: the increments of the others are moved down in order,
/// and the mean and SD are those of the increments kept (added in index
/// order from the first). Every window left out: "Every increment window at
/// this scale touches a flagged stretch!". Without, the windows are all used.
///
/// Before any line is written, a series too short to analyse (ndata < 2,
/// nres < 1, nres < scale_pt, or nres < 2 * scale_pt when detrending) throws
/// (fatal_error) "The data length is not enough!\n". The fitting routines may
/// throw their own messages.
Increments coarse_grain(const double* resampled, int nres, int ndata, long scale_pt, int ncoef,
                        int fit_method, const ProfileSource& profile, Transcript& transcript,
                        ThreadPool& pool, int shared_fit_limit = SharedAbscissaeFit::max_coefficients,
                        const MaskedCounts* masked = nullptr);

/// The moving sums for i in [begin, end): cg[i] = resampled[i] + ... +
/// resampled[i + scale_pt - 1], each formed afresh from 0.0 in that order, so
/// any split of the index range gives the same values.
void moving_sums_range(const double* resampled, int scale_pt, long begin, long end, double* cg);

/// The largest standard deviation of the increments at scale_pt points that
/// is only rounding error of a resampled series whose mean (before its
/// removal) was resampled_mean: the spread a constant series shows.
double rounding_level(double resampled_mean, long scale_pt);

/// When the increments' standard deviation is at most rounding_level, takes
/// it as exactly 0 from then on: sets cg_sd and every centred increment to 0
/// and returns true (the series has no variability at this scale).
bool clear_rounding_spread(Increments& inc, double resampled_mean, long scale_pt);

}  // namespace nongauss
