#pragma once

// Synthetic RR-interval series with a known non-Gaussianity.
//
// The model. Time runs from 0; beat n starts at t_n and lasts
//
//     RR_n = mu(t_n) + sd * sigma(t_n) * y(t_n)
//
// where
//   mu(t)    is the mean interval with a slow day-night swing (+-10 %),
//   y(t)     is a stationary Gaussian process of unit variance, the sum of two
//            Ornstein-Uhlenbeck processes (time constants 300 s and 30 s), two
//            narrow-band oscillations (0.1 Hz and 0.25 Hz, the low-frequency
//            and respiratory bands) and a little beat-to-beat white noise,
//            each sampled exactly at the beat times,
//   sigma(t) is a log-normal amplitude that is constant over blocks of
//            `block_s` seconds: sigma = exp(lambda * z_b - lambda^2) in block b.
//
// Within a block the series is Gaussian; across blocks its local standard
// deviation is log-normal with Var(ln sigma) = lambda^2. Coarse-grained
// increments over a scale well below half a block therefore follow the
// analysis' model with that lambda: a Gaussian whose standard deviation is
// log-normal. The z_b are not independent draws but the normal quantiles
// (k - 1/2)/N of the N blocks, scaled to mean square 1 and put in a random
// order, so that the spread of ln sigma over the series is lambda^2 exactly,
// not only on average over many series.
//
// Randomness comes from splitmix64 and the Box-Muller transform, so that a
// seed gives the same series on every platform; intervals are rounded to the
// output quantum as they are made, and the time axis advances by the rounded
// values, which are the intervals the analysis will read.

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace nongauss::synth {

/// splitmix64: a 64-bit generator with a one-word state, identical everywhere.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next();
    /// Uniform on (0, 1], with 53 random bits.
    double uniform();
    /// Uniform integer in [0, bound), without modulo bias; bound >= 1.
    std::uint64_t below(std::uint64_t bound);
    /// Standard normal variate by the Box-Muller transform (both values of a
    /// pair are used, the cosine one first).
    double normal();

private:
    std::uint64_t state_;
    bool has_spare_ = false;
    double spare_ = 0.0;
};

/// Inverse of the standard normal distribution function, 0 < p < 1
/// (relative error below 1.2e-9).
double normal_quantile(double p);

/// The n normal quantiles (k - 1/2)/n, k = 1..n, scaled so that their mean
/// square is 1 (their mean is 0 by symmetry), in an order shuffled by `rng`.
/// One value (n = 1) is 0.
std::vector<double> stratified_normals(int n, Random& rng);

/// Parameters of a series.
struct Model {
    double hours = 24.0;      ///< length of the series
    double lambda = 0.4;      ///< standard deviation of ln sigma over blocks
    double mean_ms = 800.0;   ///< mean RR interval
    double sd_ms = 40.0;      ///< RMS of the fluctuation around the mean
    double block_s = 600.0;   ///< length of a block of constant amplitude
    std::uint64_t seed = 1;
};

/// The values a parameter of the model may take, and how a message names them.
struct Range {
    double lo;
    double hi;
    bool above_lo;      ///< lo itself excluded
    const char* wants;  ///< "a number from 0 to 1.5": what a message says the parameter wants
    constexpr bool contains(double value) const {
        return std::isfinite(value) && (above_lo ? value > lo : value >= lo) && value <= hi;
    }
};

/// The ranges of Model's parameters (every face that takes them checks them here).
inline constexpr Range hours_range{0.0, 10000.0, true, "a number of hours above 0 and at most 10000"};
inline constexpr Range lambda_range{0.0, 1.5, false, "a number from 0 to 1.5"};
inline constexpr Range mean_range{300.0, 2000.0, false, "milliseconds from 300 to 2000"};
inline constexpr Range sd_range{0.0, 300.0, false, "milliseconds from 0 to 300"};
inline constexpr Range block_range{60.0, 86400.0, false, "seconds from 60 to 86400"};

/// Output form: milliseconds or seconds, with a fixed number of decimals.
struct Format {
    bool seconds = false;
    int decimals = 0;
};

/// Most decimals written; seconds need at least one.
inline constexpr int max_decimals = 9;

/// Shortest and longest interval written, in milliseconds; a model value
/// outside is clamped (with the default parameters this never happens).
inline constexpr double min_interval_ms = 200.0;
inline constexpr double max_interval_ms = 3000.0;

/// A generated series: each interval as an integer number of output quanta
/// (10^-decimals of the output unit), and how many values were clamped.
struct Series {
    std::vector<std::int64_t> quanta;
    long clamped = 0;
};

/// Generates intervals until their sum reaches model.hours.
Series generate(const Model& model, const Format& format);

/// The intervals of `series` (made with `format`) as the doubles their text
/// reads back as: quanta / 10^decimals, one rounded division of two exact
/// numbers.
std::vector<double> values(const Series& series, const Format& format);

/// The interval `quanta` x 10^-decimals written with exactly `decimals`
/// decimals ("812", "0.812").
std::string format_quanta(std::int64_t quanta, int decimals);

}  // namespace nongauss::synth
