#include "nongauss/synth.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

namespace nongauss::synth {

namespace {

constexpr double two_pi = 6.283185307179586;

// 10^k for k = 0..9, exact in double.
double power_of_ten(int k) {
    double p = 1.0;
    for (int i = 0; i < k; ++i) p = p * 10.0;
    return p;
}

// Ornstein-Uhlenbeck process of unit variance, advanced exactly over any step.
struct Relaxation {
    double tau;
    double y = 0.0;

    void start(Random& rng) { y = rng.normal(); }
    void advance(double step, Random& rng) {
        const double a = std::exp(-step / tau);
        y = a * y + std::sqrt(1.0 - a * a) * rng.normal();
    }
    double value() const { return y; }
};

// Narrow-band Gaussian oscillation: a rotating, damped complex
// Ornstein-Uhlenbeck process; its real part times sqrt(2) has unit variance.
struct Oscillation {
    double tau;
    double hz;
    double re = 0.0;
    double im = 0.0;

    void start(Random& rng) {
        re = rng.normal() / std::sqrt(2.0);
        im = rng.normal() / std::sqrt(2.0);
    }
    void advance(double step, Random& rng) {
        const double a = std::exp(-step / tau);
        const double c = a * std::cos(two_pi * hz * step);
        const double s = a * std::sin(two_pi * hz * step);
        const double kick = std::sqrt((1.0 - a * a) / 2.0);
        const double r = c * re - s * im + kick * rng.normal();
        const double i = s * re + c * im + kick * rng.normal();
        re = r;
        im = i;
    }
    double value() const { return std::sqrt(2.0) * re; }
};

// Shares of the variance of y(t); they sum to 1.
constexpr double share_slow = 0.30;
constexpr double share_fast = 0.25;
constexpr double share_low_band = 0.20;
constexpr double share_respiratory = 0.20;
constexpr double share_white = 0.05;

// The day-night swing of the mean: +-10 %, slowest at 03:00, with the
// series starting at 08:00.
double mean_at(double mean_ms, double t) {
    const double clock_h = t / 3600.0 + 8.0;
    return mean_ms * (1.0 + 0.1 * std::cos(two_pi * (clock_h - 3.0) / 24.0));
}

}  // namespace

std::uint64_t Random::next() {
    state_ = state_ + 0x9E3779B97F4A7C15ULL;
    std::uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

double Random::uniform() { return static_cast<double>((next() >> 11) + 1) * 0x1.0p-53; }

std::uint64_t Random::below(std::uint64_t bound) {
    const std::uint64_t threshold = (0 - bound) % bound;  // 2^64 mod bound
    for (;;) {
        const std::uint64_t r = next();
        if (r >= threshold) return r % bound;
    }
}

double Random::normal() {
    if (has_spare_) {
        has_spare_ = false;
        return spare_;
    }
    const double radius = std::sqrt(-2.0 * std::log(uniform()));
    const double angle = two_pi * uniform();
    spare_ = radius * std::sin(angle);
    has_spare_ = true;
    return radius * std::cos(angle);
}

double normal_quantile(double p) {
    // Rational approximations for the central region and the two tails.
    static const double a[] = {-3.969683028665376e+01, 2.209460984245205e+02,
                               -2.759285104469687e+02, 1.383577518672690e+02,
                               -3.066479806614716e+01, 2.506628277459239e+00};
    static const double b[] = {-5.447609879822406e+01, 1.615858368580409e+02,
                               -1.556989798598866e+02, 6.680131188771972e+01,
                               -1.328068155288572e+01};
    static const double c[] = {-7.784894002430293e-03, -3.223964580411365e-01,
                               -2.400758277161838e+00, -2.549732539343734e+00,
                               4.374664141464968e+00,  2.938163982698783e+00};
    static const double d[] = {7.784695709041462e-03, 3.224671290700398e-01,
                               2.445134137142996e+00, 3.754408661907416e+00};
    const double p_low = 0.02425;
    const auto tail = [&](double q) {
        return (((((c[0] * q + c[1]) * q + c[2]) * q + c[3]) * q + c[4]) * q + c[5]) /
               ((((d[0] * q + d[1]) * q + d[2]) * q + d[3]) * q + 1.0);
    };
    if (p < p_low) return tail(std::sqrt(-2.0 * std::log(p)));
    if (p > 1.0 - p_low) return -tail(std::sqrt(-2.0 * std::log(1.0 - p)));
    const double q = p - 0.5;
    const double r = q * q;
    return (((((a[0] * r + a[1]) * r + a[2]) * r + a[3]) * r + a[4]) * r + a[5]) * q /
           (((((b[0] * r + b[1]) * r + b[2]) * r + b[3]) * r + b[4]) * r + 1.0);
}

std::vector<double> stratified_normals(int n, Random& rng) {
    std::vector<double> z(static_cast<std::size_t>(std::max(n, 0)), 0.0);
    if (n < 2) return z;
    // Exactly symmetric: the lower half mirrored, 0 in the middle for odd n.
    for (int k = 1; k <= n / 2; ++k) {
        const double v = normal_quantile((k - 0.5) / n);
        z[static_cast<std::size_t>(k - 1)] = v;
        z[static_cast<std::size_t>(n - k)] = -v;
    }
    double squares = 0.0;
    for (const double v : z) squares = squares + v * v;
    const double scale = std::sqrt(n / squares);
    for (double& v : z) v = v * scale;
    for (int i = n - 1; i > 0; --i) {
        const auto j = static_cast<std::size_t>(rng.below(static_cast<std::uint64_t>(i) + 1));
        std::swap(z[static_cast<std::size_t>(i)], z[j]);
    }
    return z;
}

Series generate(const Model& model, const Format& format) {
    Random rng(model.seed);
    const double duration = model.hours * 3600.0;
    const int nblocks = std::max(1, static_cast<int>(std::ceil(duration / model.block_s)));
    const std::vector<double> z = stratified_normals(nblocks, rng);
    std::vector<double> amplitude(z.size());
    for (std::size_t b = 0; b < z.size(); ++b)
        amplitude[b] = std::exp(model.lambda * z[b] - model.lambda * model.lambda);

    Relaxation slow{300.0};
    Relaxation fast{30.0};
    Oscillation low_band{15.0, 0.1};
    Oscillation respiratory{10.0, 0.25};
    slow.start(rng);
    fast.start(rng);
    low_band.start(rng);
    respiratory.start(rng);

    // Quanta per millisecond, and per second of the time axis.
    const double ten_d = power_of_ten(format.decimals);
    const double per_ms = format.seconds ? ten_d / 1000.0 : ten_d;
    const double per_s = format.seconds ? ten_d : ten_d * 1000.0;

    Series out;
    std::int64_t elapsed = 0;  // in quanta
    double t = 0.0;
    while (t < duration) {
        const auto block = std::min(static_cast<std::size_t>(t / model.block_s), amplitude.size() - 1);
        const double y = std::sqrt(share_slow) * slow.value() + std::sqrt(share_fast) * fast.value() +
                         std::sqrt(share_low_band) * low_band.value() +
                         std::sqrt(share_respiratory) * respiratory.value() +
                         std::sqrt(share_white) * rng.normal();
        double rr = mean_at(model.mean_ms, t) + model.sd_ms * amplitude[block] * y;
        if (rr < min_interval_ms || rr > max_interval_ms) {
            rr = std::clamp(rr, min_interval_ms, max_interval_ms);
            ++out.clamped;
        }
        const std::int64_t q = std::llround(rr * per_ms);
        out.quanta.push_back(q);

        const double step = static_cast<double>(q) / per_s;
        slow.advance(step, rng);
        fast.advance(step, rng);
        low_band.advance(step, rng);
        respiratory.advance(step, rng);
        elapsed = elapsed + q;
        t = static_cast<double>(elapsed) / per_s;
    }
    return out;
}

std::string format_quanta(std::int64_t quanta, int decimals) {
    std::string digits = std::to_string(quanta < 0 ? -quanta : quanta);
    if (decimals > 0) {
        if (digits.size() <= static_cast<std::size_t>(decimals))
            digits.insert(0, static_cast<std::size_t>(decimals) + 1 - digits.size(), '0');
        digits.insert(digits.size() - static_cast<std::size_t>(decimals), 1, '.');
    }
    return quanta < 0 ? "-" + digits : digits;
}

std::vector<double> values(const Series& series, const Format& format) {
    // Both exact, so the one rounded division gives the double nearest the
    // decimal text, which is what reading the text gives.
    const double per_unit = power_of_ten(format.decimals);
    std::vector<double> intervals(series.quanta.size());
    for (std::size_t i = 0; i < intervals.size(); ++i)
        intervals[i] = static_cast<double>(series.quanta[i]) / per_unit;
    return intervals;
}

}  // namespace nongauss::synth
