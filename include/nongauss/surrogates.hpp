#pragma once

// Surrogates of an RR series (the intervals, beat by beat) and the surrogate
// floor and test of lambda at each scale.
//
// Two kinds of surrogate:
// - IAAFT (iterated amplitude-adjusted Fourier transform): each surrogate
//   holds exactly the series' intervals, reordered (sorted, the two are equal
//   bit for bit), in an order whose amplitude spectrum approaches the
//   series'. What the test against them rejects: a stationary linear Gaussian
//   process, seen through a fixed monotonic map, with the series' spectrum
//   and the series' distribution of intervals. It rejects no particular
//   physiology.
// - Phase-randomised: the series' amplitude spectrum kept exactly (up to
//   rounding), the phases random: a Gaussian series with the series'
//   spectrum, whose values are not the intervals. Its lambda is the floor a
//   Gaussian linear series of that spectrum reaches after detrending; the
//   series nearly always exceeds it, so it is a floor, not a test.
//
// Reproducibility: surrogate k of seed S is the same doubles whatever else
// runs, in whatever order, on however many threads (the numbers never depend
// on SurrogateOptions::pool). Its random numbers come from its own stream,
// xoshiro256** (written out here, not a library distribution) whose four state
// words are the first four outputs of splitmix64 started at
// mix(mix(S) + k), mix being splitmix64's output function. The transforms are
// planned with FFTW_ESTIMATE (no timing, so the same plan in every run) on
// arrays from fftw_malloc (so the same code paths); FFTW chooses its
// instruction set by the processor, so another kind of processor may round
// differently in the last bits.
//
// Thread safety: a SurrogateMaker may be used by any number of threads at
// once; making and destroying one takes a process-wide lock around FFTW's
// planner (which is not thread-safe); other FFTW users in the same process
// must not plan at the same time.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "nongauss/analysis.hpp"
#include "nongauss/result.hpp"
#include "nongauss/series.hpp"
#include "nongauss/settings.hpp"
#include "nongauss/thread_pool.hpp"

namespace nongauss {

enum class SurrogateKind { iaaft, phase_randomised };

struct SurrogateOptions {
    SurrogateKind kind = SurrogateKind::iaaft;
    /// IAAFT: iterate until an iteration leaves the rank order of the series
    /// unchanged (then the surrogate is a fixed point of the iteration) or
    /// after max_iterations iterations, whichever comes first. Each iteration
    /// imposes the series' amplitude spectrum on the current surrogate's
    /// transform (keeping its phases) and then puts the series' intervals in
    /// the rank order of the result. At least 1.
    int max_iterations = 100;
    /// IAAFT: run the transforms at the smallest length m >= n that is a
    /// multiple of 16 with no prime factor above 7, on the series (and each
    /// surrogate) followed by m - n copies of the series' mean, ranking the
    /// first n values. The surrogate still holds exactly the series'
    /// intervals; the spectrum it approaches is the padded series' (whose
    /// transform counts the lags without wrapping the end onto the start). At
    /// 24 h n = 106,459 = 29 x 3,671, which FFTW transforms 12 times slower
    /// than m = 107,520 (1 % longer), and an iteration takes half the time;
    /// but the circular spectrum of length n, which the default approaches
    /// within 1 %, is then 33-39 % off (AR(1) series of 3,000 beats): not the
    /// default. False: length n.
    bool padded = false;
    /// The pool a set of surrogates is spread over (make_surrogates,
    /// surrogate_test), one surrogate at a time per thread; none: the calling
    /// thread alone.
    ThreadPool* pool = nullptr;
};

/// Surrogate k of seed S, for one series: the series' transform and its
/// sorted intervals computed once.
class SurrogateMaker {
public:
    /// Needs at least one interval, every one finite (otherwise Error, kind
    /// input).
    SurrogateMaker(std::vector<double> intervals, const SurrogateOptions& options = {});
    ~SurrogateMaker();
    SurrogateMaker(const SurrogateMaker&) = delete;
    SurrogateMaker& operator=(const SurrogateMaker&) = delete;

    /// How a surrogate was made (IAAFT; phase-randomised: iterations 0).
    struct Info {
        /// Iterations run (1..max_iterations).
        int iterations = 0;
        /// True when the last iteration left the rank order unchanged.
        bool converged = false;
    };

    /// Surrogate k of seed `seed`, as many values as the series.
    std::vector<double> make(std::uint64_t seed, std::uint64_t k, Info* info = nullptr) const;

    /// |X_j|, j = 0..n/2, of the series' unnormalised discrete Fourier
    /// transform X_j = sum_t x_t exp(-2 pi i j t / n).
    const std::vector<double>& amplitude() const noexcept { return amplitude_; }

private:
    struct Plans;
    static void release(Plans*& plans) noexcept;
    std::vector<double> intervals_;
    std::vector<double> sorted_;
    std::vector<double> amplitude_;
    double dc_ = 0.0;       // the transform's term 0 and, for even n, n/2 (both real)
    double nyquist_ = 0.0;
    std::size_t padded_ = 0;                // the IAAFT's transform length
    std::vector<double> padded_amplitude_;  // |X_j| of the padded series, j = 0..padded_/2
    double mean_ = 0.0;                     // what pads it
    SurrogateOptions options_;
    Plans* plans_ = nullptr;
};

/// |X_j|, j = 0..n/2, of any series (as SurrogateMaker::amplitude).
std::vector<double> amplitude_spectrum(const std::vector<double>& values);

/// Surrogates 0..count-1 of seed `seed`, spread over options.pool.
std::vector<std::vector<double>> make_surrogates(const std::vector<double>& intervals,
                                                 std::uint64_t seed, int count,
                                                 const SurrogateOptions& options = {});

// --- The floor and test per scale -------------------------------------------

struct SurrogateTestOptions {
    SurrogateOptions surrogates;
    /// N, the number of surrogates (at least 1).
    int count = 99;
    std::uint64_t seed = 1;
    /// Masked stretches (ScaleOptions::masked), the same for the series and
    /// for every surrogate: the same windows of time are left out of each.
    std::vector<TimeStretch> masked;
};

struct SurrogateScale {
    /// The series' own analysis at this scale (as analyse_scales gives it).
    Result result;
    /// Lambda of each surrogate at this scale (count of them, surrogate k at
    /// k); empty when the series or a surrogate could not be analysed here.
    std::vector<double> surrogate_lambda;
    /// The median of surrogate_lambda (the mean of the two middle values for
    /// an even count); NaN when surrogate_lambda is empty.
    double lambda_floor = 0.0;
    /// (1 + the number of surrogates whose lambda >= the series') / (N + 1);
    /// NaN when surrogate_lambda is empty. IAAFT only: NaN for
    /// phase-randomised surrogates, which give a floor, not a test.
    double p_surrogate = 0.0;
    /// Why surrogate_lambda is empty: the series' error at this scale, or the
    /// first error of a surrogate (its message names the surrogate).
    std::optional<Error> error;
};

/// The floor and test at each scale of `scales`: the series analysed by
/// analyse_scales(series, settings, scales) and each surrogate analysed the
/// same way (a Series of the surrogate's values in the series' unit), lambda
/// compared scale by scale. Densities are not computed (Result's bin_centre,
/// p_exp and p_model stay empty). The numbers do not depend on
/// options.surrogates.pool. Errors of the whole series are thrown as
/// analyse_scales throws them; so is a surrogate that is not a valid series
/// (Series::from_intervals' Error, kind input: a phase-randomised value at
/// most 0), or that fails as a whole (the lowest such k).
std::vector<SurrogateScale> surrogate_test(const Series& series, const Settings& settings,
                                           const std::vector<double>& scales,
                                           const SurrogateTestOptions& options = {});

/// (1 + the number of values >= observed) / (size + 1): the rank p-value.
double rank_p_value(double observed, const std::vector<double>& surrogate_values);
/// The median (mean of the middle two for an even count); NaN when empty.
double median_of(std::vector<double> values);

}  // namespace nongauss
