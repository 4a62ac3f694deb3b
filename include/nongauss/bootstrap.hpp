#pragma once

// The sampling spread of lambda within one recording: a circular block
// bootstrap of the increments at a scale.
//
// The increments of a scale come in windows of scale_pt consecutive values
// (with detrending, one detrending window each; without, scale_pt moving sums
// in a row, one scale of time). A replicate is made of blocks of L whole
// windows, L = block_s / (scale_pt dt) rounded to the nearest integer, at
// least 1 and at most a quarter of the number of windows W (at least 1: four
// blocks a replicate; on the shared recordings, with many windows left out
// around artefacts, a 12-hour half at 100 s kept 140 windows, fewer than a
// 4-hour block, whose replicates were the series turned round), laid end to
// end and cut at the
// series' own number of increments. Each block starts at a window drawn
// uniformly from all W and runs on past the last window to the first
// (circular blocks: every window is as likely to be drawn, so the ends of a
// recording weigh as much as its middle; with blocks that stop at the end,
// replicates of a 3-hour series with 2-hour blocks fell below the series'
// lambda, their middle hour drawn far more often than either end). The
// replicate's lambda is estimated as the analysis estimates it (its own mean
// and SD, the same moment order). lambda_se is the standard deviation of the
// replicates' lambda (divisor B - 1); the interval is their percentiles.
//
// What it measures: the spread of lambda from resampling stretches of one
// recording. It understates the spread between two recordings of the same
// subject (measured on the shared recordings, bench/bootstrap: the two
// 12-hour halves of a recording differ by about twice the bootstrap's SE of a
// half), which also holds the changes of state between them.
//
// Reproducibility: replicate b of a scale of p points, seed S, draws from
// stream k = 2^63 + p 2^24 + b of the library's generator (splitmix64 seeding
// xoshiro256**, as the surrogates: surrogate k uses stream k), so the numbers
// are the same on any number of threads and in any order of the scales.

#include <cstdint>
#include <vector>

#include "nongauss/result.hpp"
#include "nongauss/series.hpp"
#include "nongauss/settings.hpp"
#include "nongauss/thread_pool.hpp"

namespace nongauss {

struct BootstrapOptions {
    /// B, the number of replicates (1 .. 2^24 - 1).
    int replicates = 200;
    /// The length of a block in seconds (rounded to whole windows). Two
    /// hours: on the shared recordings the SE at 25 s grows with the block
    /// up to 1-2 h and levels off from there (bench/bootstrap).
    double block_s = 7200.0;
    std::uint64_t seed = 1;
    /// The percentile interval's coverage (0 < level < 1).
    double level = 0.95;
    /// The replicates are spread over this pool; none: the calling thread.
    /// The numbers do not depend on it.
    ThreadPool* pool = nullptr;
};

struct BootstrapScale {
    /// The standard deviation of the replicates' lambda (divisor B - 1; 0
    /// for B = 1). NaN when there were no increments.
    double lambda_se = 0.0;
    /// The percentile interval: the (1 - level) / 2 and (1 + level) / 2
    /// quantiles of the replicates' lambda (linear between the sorted values
    /// v_0..v_{B-1}: at p, v at (B - 1) p). NaN when there were no increments.
    double lower = 0.0;
    double upper = 0.0;
    /// Windows in a block, and windows in all.
    long block_windows = 0;
    long windows = 0;
    /// Lambda of replicate b at b.
    std::vector<double> replicate_lambda;
};

/// The bootstrap of `increments` (in their order; any affine scale: each
/// replicate is standardised anew) in windows of `window` values (the last
/// may be shorter), at a scale of `scale_pt` points of `dt` seconds, lambda
/// estimated with `moment_order` (as Settings::moment_order). Throws Error
/// (kind input) for replicates outside 1..2^24-1, a level outside (0, 1), a
/// block that is not a positive finite number, or window < 1.
BootstrapScale bootstrap_increments(const std::vector<double>& increments, long window, long scale_pt,
                                    double dt, double moment_order, const BootstrapOptions& options = {});

/// The bootstrap of an analysed scale: `result` must hold its increments
/// (ScaleOptions::increments); windows of result.scale_pt values; the
/// settings give dt and the moment order. A result with an error gives NaNs
/// and no replicates.
BootstrapScale bootstrap_result(const Result& result, const Settings& settings,
                                const BootstrapOptions& options = {});

}  // namespace nongauss
