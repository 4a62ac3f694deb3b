#include "coarse/increments.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "nongauss/thread_pool.hpp"
#include "numeric/arrays.hpp"
#include "numeric/fatal_error.hpp"
#include "numeric/lsq_normal.hpp"
#include "numeric/lsq_svd.hpp"
#include "numeric/window_fit.hpp"
#include "nongauss/formatted.hpp"

namespace nongauss {

namespace {

bool long_enough(int ndata, int nres, long scale_pt, bool detrending) {
    if (ndata < 2 || nres < 1 || scale_pt > static_cast<long>(nres)) return false;
    return !detrending || static_cast<long>(nres) >= 2 * scale_pt;
}

// Four doubles, one vector register where the processor has 256-bit ones.
using Quad = double __attribute__((vector_size(32)));

}  // namespace

// The moving sums are most of the work of a run without detrending; a build
// for any x86-64 also carries a variant for processors with AVX2 (same
// operations, wider registers), chosen when the program starts. With GCC each
// variant begins on a 64-byte boundary, so that where its inner loop falls in
// the processor's instruction lines does not depend on the code around it
// (the difference was 7 % of such a run); clang takes no alignment with
// the variants.
#if defined(__x86_64__) && defined(__has_attribute) && !defined(NONGAUSS_NO_PROCESSOR_VARIANTS)
#if __has_attribute(target_clones)
#if defined(__clang__)
#define NONGAUSS_WIDE_VARIANT __attribute__((target_clones("avx2", "default")))
#else
#define NONGAUSS_WIDE_VARIANT __attribute__((target_clones("avx2", "default"), aligned(64)))
#endif
#endif
#endif
#ifndef NONGAUSS_WIDE_VARIANT
#define NONGAUSS_WIDE_VARIANT
#endif

// The moving sums for i in [begin, end): cg[i] = resampled[i] + ... +
// resampled[i + scale_pt - 1], each formed afresh from 0.0 in that order, so
// any split of the index range gives the same values.
NONGAUSS_WIDE_VARIANT
void moving_sums_range(const double* resampled, int scale_pt, long begin, long end, double* cg) {
    // Sixteen sums at a time, one per vector lane: lane j of the sum for i adds
    // resampled[i + j], resampled[i + j + 1], ... in that order, as the plain
    // loop below does for a single i.
    long i = begin;
    for (; i + 16 <= end; i += 16) {
        const double* p = resampled + i;
        Quad s0 = {0.0, 0.0, 0.0, 0.0};
        Quad s1 = s0;
        Quad s2 = s0;
        Quad s3 = s0;
        for (int k = 0; k < scale_pt; ++k) {
            Quad t0;
            Quad t1;
            Quad t2;
            Quad t3;
            __builtin_memcpy(&t0, p + k, sizeof t0);
            __builtin_memcpy(&t1, p + k + 4, sizeof t1);
            __builtin_memcpy(&t2, p + k + 8, sizeof t2);
            __builtin_memcpy(&t3, p + k + 12, sizeof t3);
            s0 = s0 + t0;
            s1 = s1 + t1;
            s2 = s2 + t2;
            s3 = s3 + t3;
        }
        __builtin_memcpy(cg + i, &s0, sizeof s0);
        __builtin_memcpy(cg + i + 4, &s1, sizeof s1);
        __builtin_memcpy(cg + i + 8, &s2, sizeof s2);
        __builtin_memcpy(cg + i + 12, &s3, sizeof s3);
    }
    for (; i < end; ++i) {
        double s = 0.0;
        for (long k = i; k <= i + scale_pt - 1; ++k) s = s + resampled[k];
        cg[i] = s;
    }
}

namespace {

int moving_sums(const double* resampled, int nres, int scale_pt, double* cg, Transcript& transcript,
                ThreadPool& pool) {
    transcript.write("WITHOUT detrending\n");
    const int ncg = nres - scale_pt + 1;
    pool.parallel_parts(1, static_cast<long>(ncg) + 1, 256, [=](int, long begin, long end) {
        moving_sums_range(resampled, scale_pt, begin, end, cg);
    });
    return ncg;
}

// Every window fitted on its own, as in the plain description: for fits with
// more coefficients than SharedAbscissaeFit takes.
int detrend_each_window(const double* profile, int nres, int scale_pt, int ncoef, FitMethod fit, double* cg) {
    const int width = 2 * scale_pt;
    const OwnedVector window_x(1, width);
    const OwnedVector window_y(1, width);
    const OwnedVector coef(1, ncoef);
    int ncg = 0;
    for (int k = 1; k <= width; ++k) window_x[k] = k;

    const int last_start = (nres / scale_pt - 1) * scale_pt;
    for (int s = 1; s <= last_start; s += scale_pt) {
        for (int k = 1; k <= width; ++k) window_y[k] = profile[s + k - 1];
        double chisq = 0.0;
        if (fit == FitMethod::svd)
            fit_svd(window_x, window_y, width, coef, ncoef, &chisq);
        else
            fit_normal_eq(window_x, window_y, width, coef, ncoef, &chisq);
        for (int k = 1; k <= width; ++k) window_y[k] = window_y[k] - poly_eval(window_x[k], coef, ncoef);
        for (int k = 1; k <= scale_pt; ++k) {
            ++ncg;
            cg[ncg] = window_y[k + scale_pt] - window_y[k];
        }
    }
    return ncg;
}

int detrended_increments(int nres, int scale_pt, int ncoef, FitMethod fit_method, WindowFits fits,
                         const ProfileSource& profile_source, Transcript& transcript, double* cg,
                         ThreadPool& pool) {
    transcript.write(formatted("detrend using polynomial fits of order %d\n", ncoef - 1));
    transcript.write("------------------------------------------------\n");

    const double* profile = profile_source();

    int ncg = 0;
    if (fits == WindowFits::each_window || ncoef > SharedAbscissaeFit::max_coefficients) {
        ncg = detrend_each_window(profile, nres, scale_pt, ncoef, fit_method, cg);
    } else {
        const int width = 2 * scale_pt;
        OwnedVector window_x(1, width);
        for (int k = 1; k <= width; ++k) window_x[k] = k;
        const SharedAbscissaeFit fit(window_x, width, ncoef, fit_method);
        window_x.reset();

        // Windows start at 1, 1 + scale_pt, ..., (nres / scale_pt - 2) * scale_pt + 1;
        // window w gives increments w * scale_pt + 1 .. (w + 1) * scale_pt.
        const long windows = nres / scale_pt - 1;
        // One scratch block per part, a thread's worth of parts at most. Blocks
        // are a cache line (8 doubles) apart at least, so that the cores never
        // write the same line.
        const long per_part = (width + 1 + ncoef + 1 + 7) / 8 * 8 + 8;
        const int parts = pool.size();
        std::vector<double> scratch(static_cast<std::size_t>(parts * per_part));
        pool.parallel_parts(0, windows, 16, [&](int part, long begin, long end) {
            double* residual = scratch.data() + part * per_part;  // residual[1..width]
            double* coef = residual + width + 1;                   // coef[1..ncoef]
            for (long w = begin; w < end; ++w) {
                const double* y = profile + w * scale_pt;  // y[k] = profile[w * scale_pt + k]
                fit.fit(y, coef);
                fit.residuals(y, coef, residual);
                double* out = cg + w * scale_pt;
                for (int k = 1; k <= scale_pt; ++k) out[k] = residual[k + scale_pt] - residual[k];
            }
        }, parts);
        ncg = static_cast<int>(windows * scale_pt);
    }
    return ncg;
}

// Leaves out the windows that hold a masked point, moving the others' increments
// down; returns the number of increments kept.
int leave_out_masked(double* cg, int count, int nres, int points, bool detrending, const MaskedCounts& masked,
                     Increments& inc) {
    const auto touches = [&](long first, long last) {  // resampled points first..last
        if (last > nres) last = nres;
        return masked[static_cast<std::size_t>(last)] - masked[static_cast<std::size_t>(first - 1)] > 0;
    };
    long kept = 0;
    if (detrending) {
        // Window w: profile points w * points + 1 .. (w + 2) * points, increments
        // w * points + 1 .. (w + 1) * points.
        const long windows = count / points;
        for (long w = 0; w < windows; ++w) {
            if (touches(w * points + 1, (w + 2) * points)) {
                ++inc.windows_left_out;
                continue;
            }
            ++inc.windows_used;
            const double* from = cg + w * points + 1;
            if (kept != w * points) std::copy(from, from + points, cg + kept + 1);
            kept += points;
        }
    } else {
        for (long i = 1; i <= count; ++i) {
            if (touches(i, i + points - 1)) {
                ++inc.windows_left_out;
                continue;
            }
            ++inc.windows_used;
            cg[++kept] = cg[i];
        }
    }
    if (kept == 0) fatal_error("Every increment window at this scale touches a flagged stretch!");
    return static_cast<int>(kept);
}

}  // namespace

void running_sum(const double* resampled, int nres, double* profile) {
    profile[1] = resampled[1];
    for (int i = 2; i <= nres; ++i) profile[i] = profile[i - 1] + resampled[i];
}

Increments coarse_grain(const Grain& g, Transcript& transcript, ThreadPool& pool) {
    const double* const resampled = g.resampled;
    const int nres = g.nres, ndata = g.ndata, ncoef = g.ncoef;
    const long scale_pt = g.scale_pt;
    const FitMethod fit = g.fit;
    const ProfileSource& profile = g.profile;
    const WindowFits fits = g.fits;
    const MaskedCounts* const masked = g.masked;
    const bool detrending = ncoef > 1;
    if (!long_enough(ndata, nres, scale_pt, detrending))
        fatal_error("The data length is not enough!\n");
    const int points = static_cast<int>(scale_pt);  // scale_pt <= nres from here on

    Increments inc;
    // Room for the increments either branch fills: nres - points + 1 at most.
    // The array used to be made twice as long, [1..2 (nres - points) + 2]; a
    // series for which that exceeds the block limit still ends the run here
    // with the same message. nres is bounded by the allocation of the
    // resampled series, so these bounds fit.
    const long long former_count = 2LL * (nres - points) + 2 + 1;
    if (static_cast<unsigned long long>(former_count) > max_block_bytes / sizeof(double))
        fatal_error("allocation failure in vector()");
    inc.upper = nres - points + 1;
    inc.centred = OwnedVector(1, inc.upper);
    inc.count = detrending ? detrended_increments(nres, points, ncoef, fit, fits, profile, transcript,
                                                  inc.centred, pool)
                           : moving_sums(resampled, nres, points, inc.centred, transcript, pool);
    inc.windows_used = detrending ? inc.count / points : inc.count;

    double* cg = inc.centred;
    if (masked != nullptr) {
        inc.windows_used = 0;
        inc.count = leave_out_masked(cg, inc.count, nres, points, detrending, *masked, inc);
    }
    double sum = 0.0;
    for (int i = 1; i <= inc.count; ++i) sum = sum + cg[i];
    inc.mean_s = sum / inc.count;
    // The sum of squares waits on each addition before the next: the centred
    // value is stored on the way at no cost.
    double squares = 0.0;
    for (int i = 1; i <= inc.count; ++i) {
        const double d = cg[i] - inc.mean_s;
        cg[i] = d;
        squares = squares + d * d;
    }
    inc.sd_s = std::sqrt(squares / inc.count);
    return inc;
}

// A constant series is resampled to its value up to rounding: the spline's
// a*y + b*y with a + b = 1 only to the last place, and the mean removal,
// which leaves every point off by the rounding of the mean. An increment
// gathers scale_pt such points (a moving sum, or the detrended profile over
// a window of 2 scale_pt points, whose fit removes the common offset), so its
// rounding error is at most a small multiple of scale_pt u |mean|, u the unit
// roundoff 2^-53. Measured on constant series of 300 to 1500 ms (in ms and in
// s; 40 minutes to 8 days; step, linear and spline resampling; degrees 0 to
// 5; scales 2 to 1000 s), the SD of the increments never exceeded
// 0.31 scale_pt u |mean|. The level is 8 times that bound: at 25 s
// (100 points) and a mean of 0.8 s it is 7e-14 s, while a real series,
// however quiet (paced, with 1 ms of jitter), has an SD of the increments of
// milliseconds, ten orders above.
double rounding_level(double resampled_mean, long scale_pt) {
    constexpr double unit_roundoff = 0x1p-53;
    return 8 * 0.31 * unit_roundoff * std::fabs(resampled_mean) * static_cast<double>(scale_pt);
}

bool clear_rounding_spread(Increments& inc, double resampled_mean, long scale_pt) {
    if (!(inc.sd_s <= rounding_level(resampled_mean, scale_pt))) return false;
    inc.sd_s = 0.0;
    for (int i = 1; i <= inc.count; ++i) inc.centred[i] = 0.0;
    return true;
}

}  // namespace nongauss
