#pragma once

// Coarse-grained increments of the resampled series at a scale, with or
// without local polynomial detrending.

namespace nongauss {

/// The increments and their statistics.
struct Increments {
    double* cg_series = nullptr;  ///< cg_series[1..ncg]; allocated over [1..upper]
    int upper = 0;                ///< upper allocation bound, 2 * (nres - scale_pt) + 2
    int ncg = 0;                  ///< number of increments
    double cg_mean = 0.0;         ///< mean before centring, seconds
    double cg_sd = 0.0;           ///< standard deviation (divisor ncg), seconds
};

/// Builds the increments of resampled[1..nres] over scale_pt points, then
/// their mean and standard deviation, and centres them (not yet divided by
/// the standard deviation: see standardize_increments).
///
/// ncoef <= 1: moving sums of scale_pt points, prints "WITHOUT detrending\n".
/// ncoef > 1: residuals of polynomial fits with ncoef coefficients
/// (fit_method > 1: singular value decomposition, else normal equations) in
/// half-overlapping windows of 2 * scale_pt points; prints the detrending
/// line and a line of 48 hyphens.
///
/// Before any line is printed, a series too short to analyse (ndata < 2,
/// nres < 1, nres < scale_pt, or nres < 2 * scale_pt when detrending) ends the
/// process through fatal_error with "The data length is not enough!\n".
/// The fitting routines may end the process with their own messages.
Increments coarse_grain(const double* resampled, int nres, int ndata, long scale_pt, int ncoef,
                        int fit_method);

/// The moving sums for i in [begin, end): cg[i] = resampled[i] + ... +
/// resampled[i + scale_pt - 1], each formed afresh from 0.0 in that order, so
/// any split of the index range gives the same values.
void moving_sums_range(const double* resampled, int scale_pt, long begin, long end, double* cg);

/// Divides the centred increments by their standard deviation, in place.
void standardize_increments(Increments& inc);

}  // namespace nongauss
