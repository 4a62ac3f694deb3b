// The moving-block bootstrap of lambda at a scale.

#include "nongauss/bootstrap.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "nongauss/error.hpp"
#include "numeric/random.hpp"
#include "stats/lambda.hpp"
#include "surrogates/parallel.hpp"

namespace nongauss {

namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();

// The quantile at p of sorted values (linear between order statistics).
double quantile(const std::vector<double>& sorted, double p) {
    const double h = static_cast<double>(sorted.size() - 1) * p;
    const auto below = static_cast<std::size_t>(std::floor(h));
    if (below + 1 >= sorted.size()) return sorted.back();
    const double f = h - static_cast<double>(below);
    return sorted[below] + f * (sorted[below + 1] - sorted[below]);
}

}  // namespace

BootstrapScale bootstrap_increments(const std::vector<double>& increments, long window, long scale_pt,
                                    double dt, double moment_order, const BootstrapOptions& options) {
    constexpr int most_replicates = (1 << 24) - 1;
    if (options.replicates < 1 || options.replicates > most_replicates)
        throw Error(ErrorKind::input, "Bootstrap: the number of replicates must be from 1 to 16777215");
    if (!(options.level > 0.0 && options.level < 1.0))
        throw Error(ErrorKind::input, "Bootstrap: the level of the interval must lie between 0 and 1");
    if (!(options.block_s > 0.0 && std::isfinite(options.block_s)))
        throw Error(ErrorKind::input, "Bootstrap: the block length must be a positive number of seconds");
    if (window < 1) throw Error(ErrorKind::input, "Bootstrap: a window needs at least one increment");

    BootstrapScale out;
    const long n = static_cast<long>(increments.size());
    if (n == 0) {
        out.lambda_se = out.lower = out.upper = nan;
        return out;
    }
    const long windows = (n + window - 1) / window;
    const double per_window = static_cast<double>(scale_pt) * dt;
    const double blocks_of = std::nearbyint(options.block_s / per_window);
    // At most a quarter of the windows, so that a replicate draws four blocks
    // at least (one block of every window would only turn the series round).
    const long most = std::max(windows / 4, 1L);
    const long block = blocks_of < 1.0 ? 1 : blocks_of >= static_cast<double>(most) ? most : static_cast<long>(blocks_of);
    out.windows = windows;
    out.block_windows = block;

    const auto count = static_cast<std::size_t>(options.replicates);
    out.replicate_lambda.assign(count, 0.0);
    const std::uint64_t stream0 = (std::uint64_t{1} << 63) + static_cast<std::uint64_t>(scale_pt) * (std::uint64_t{1} << 24);
    surrogates::for_each_task(options.pool, count, [&](std::size_t b) {
        Xoshiro256 random(options.seed, stream0 + b);
        std::vector<double> x(static_cast<std::size_t>(n) + 1);  // x[1..n]
        long filled = 0;
        while (filled < n) {
            const auto start = static_cast<long>(random.below(static_cast<std::uint64_t>(windows)));
            for (long j = 0; j < block && filled < n; ++j) {
                const long w = (start + j) % windows;
                const long first = w * window;
                const long take = std::min(std::min(first + window, n) - first, n - filled);
                std::copy(increments.begin() + first, increments.begin() + first + take, x.begin() + filled + 1);
                filled += take;
            }
        }
        double sum = 0.0;
        for (long i = 1; i <= n; ++i) sum = sum + x[static_cast<std::size_t>(i)];
        const double mean = sum / static_cast<double>(n);
        double squares = 0.0;
        for (long i = 1; i <= n; ++i) {
            const double d = x[static_cast<std::size_t>(i)] - mean;
            x[static_cast<std::size_t>(i)] = d;
            squares = squares + d * d;
        }
        const double sd = std::sqrt(squares / static_cast<double>(n));
        ThreadPool serial(1);
        const double estimate = estimate_lambda_sq(x.data(), static_cast<int>(n), moment_order, sd, serial);
        out.replicate_lambda[b] = lambda_from_estimate(estimate);
    });

    const std::vector<double>& v = out.replicate_lambda;
    double sum = 0.0;
    for (const double l : v) sum = sum + l;
    const double mean = sum / static_cast<double>(count);
    double squares = 0.0;
    for (const double l : v) squares = squares + (l - mean) * (l - mean);
    out.lambda_se = count > 1 ? std::sqrt(squares / static_cast<double>(count - 1)) : 0.0;
    std::vector<double> sorted = v;
    std::sort(sorted.begin(), sorted.end());
    out.lower = quantile(sorted, (1.0 - options.level) / 2.0);
    out.upper = quantile(sorted, (1.0 + options.level) / 2.0);
    return out;
}

BootstrapScale bootstrap_result(const Result& result, const Settings& settings, const BootstrapOptions& options) {
    if (result.error || result.increments.empty()) {
        BootstrapScale out;
        out.lambda_se = out.lower = out.upper = nan;
        return out;
    }
    const Settings limited = with_limits(settings);
    return bootstrap_increments(result.increments, std::max(result.scale_pt, 1L), result.scale_pt, limited.dt,
                                limited.moment_order, options);
}

}  // namespace nongauss
