// The moving-block bootstrap: its spread against the true sampling spread of
// independent samples, the block that spans everything, the same bytes on any
// number of threads.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "nongauss/analysis.hpp"
#include "nongauss/bootstrap.hpp"
#include "nongauss/error.hpp"
#include "stats/lambda.hpp"
#include "support/pool.hpp"
#include "nongauss/synth.hpp"

namespace {

using nongauss::BootstrapOptions;
using nongauss::bootstrap_increments;

// Independent increments of the model: Gaussian, SD exp(omega), omega normal
// with variance lambda^2 (the mean does not matter to lambda).
std::vector<double> model_increments(int n, double lambda, std::uint64_t seed) {
    nongauss::synth::Random random(seed);
    std::vector<double> x(static_cast<std::size_t>(n));
    for (auto& v : x) v = std::exp(lambda * random.normal()) * random.normal();
    return x;
}

// Lambda of x as the analysis estimates it (mean removed, SD divisor n).
double lambda_of(const std::vector<double>& x) {
    const double n = static_cast<double>(x.size());
    double mean = 0.0, sq = 0.0;
    for (double v : x) mean += v / n;
    std::vector<double> c(1);  // c[1..n]
    for (double v : x) {
        c.push_back(v - mean);
        sq += (v - mean) * (v - mean);
    }
    nongauss::ThreadPool one(1);
    return nongauss::lambda_from_estimate(
        nongauss::estimate_lambda_sq(c.data(), static_cast<int>(x.size()), 0.25, std::sqrt(sq / n), one));
}

TEST(Bootstrap, SpreadOfIndependentIncrementsMatchesTheirSamplingSpread) {
    // Window 1, block 1 window: the plain bootstrap of independent values,
    // whose SE should be the SD of lambda over independent samples.
    constexpr int n = 4000, samples = 60;
    std::vector<double> lambdas;
    for (int s = 0; s < samples; ++s) lambdas.push_back(lambda_of(model_increments(n, 0.4, 100 + s)));
    double mean = 0.0, sq = 0.0;
    for (double l : lambdas) mean += l / samples;
    for (double l : lambdas) sq += (l - mean) * (l - mean);
    const double true_sd = std::sqrt(sq / (samples - 1));
    EXPECT_NEAR(mean, 0.4, 3 * true_sd / std::sqrt(samples));

    BootstrapOptions options;
    options.block_s = 1.0;
    const auto b = bootstrap_increments(model_increments(n, 0.4, 7), 1, 1, 1.0, 0.25, options);
    EXPECT_EQ(b.block_windows, 1);
    EXPECT_EQ(b.windows, n);
    EXPECT_GT(b.lambda_se, 0.7 * true_sd);
    EXPECT_LT(b.lambda_se, 1.4 * true_sd);
    EXPECT_LT(b.lower, b.upper);
    // A 95 % interval of a near-normal spread is about 4 SE wide.
    EXPECT_NEAR((b.upper - b.lower) / b.lambda_se, 3.92, 0.8);
}

TEST(Bootstrap, TheLongestBlockIsAQuarterOfTheWindows) {
    nongauss::synth::Model model;
    model.hours = 3.0;
    std::vector<double> rr;
    for (const auto q : nongauss::synth::generate(model, {}).quanta) rr.push_back(static_cast<double>(q));
    const auto series = nongauss::Series::from_intervals(rr);
    nongauss::Settings settings;
    nongauss::ScaleOptions keep;
    keep.increments = true;
    const auto results = nongauss::analyse_scales(series, settings, {25.0}, keep);
    BootstrapOptions options;
    options.block_s = 1e9;
    options.replicates = 5;
    const auto b = nongauss::bootstrap_result(results[0], settings, options);
    EXPECT_EQ(b.block_windows, b.windows / 4);
    EXPECT_EQ(b.windows * results[0].scale_pt, results[0].n_increments);
    EXPECT_GT(b.lambda_se, 0.0);
    // The replicates' spread is of the order of lambda's own sampling spread
    // over 3 hours, not of lambda itself.
    EXPECT_LT(b.lambda_se, 0.3 * results[0].lambda);
}

TEST(Bootstrap, SameBytesOnOneTwoAndFourThreads) {
    const std::vector<double> x = model_increments(30001, 0.3, 3);  // a last window shorter than the others
    std::vector<std::vector<double>> runs;
    for (int threads : {1, 2, 4}) {
        BootstrapOptions options;
        options.block_s = 1500.0;  // 6 windows of 250 s
        options.pool = &nongauss::testing::pool_of(threads);
        const auto b = bootstrap_increments(x, 1000, 1000, 0.25, 0.25, options);
        EXPECT_EQ(b.block_windows, 6);
        EXPECT_EQ(b.windows, 31);
        runs.push_back(b.replicate_lambda);
        runs.back().push_back(b.lambda_se);
    }
    for (const auto& r : runs) EXPECT_EQ(std::memcmp(r.data(), runs[0].data(), r.size() * sizeof(double)), 0);
    // Another seed, other replicates.
    BootstrapOptions other;
    other.block_s = 1500.0;
    other.seed = 2;
    EXPECT_NE(bootstrap_increments(x, 1000, 1000, 0.25, 0.25, other).replicate_lambda[0], runs[0][0]);
}

TEST(Bootstrap, RefusesOptionsOutOfRange) {
    const std::vector<double> x = model_increments(100, 0.3, 1);
    const auto refused = [&](BootstrapOptions o, long window) {
        try {
            bootstrap_increments(x, window, 1, 0.25, 0.25, o);
        } catch (const nongauss::Error& e) {
            return e.kind() == nongauss::ErrorKind::input;
        }
        return false;
    };
    BootstrapOptions o;
    EXPECT_TRUE(refused(o, 0));
    o.replicates = 0;
    EXPECT_TRUE(refused(o, 1));
    o = {};
    o.level = 1.0;
    EXPECT_TRUE(refused(o, 1));
    o = {};
    o.block_s = std::nan("");
    EXPECT_TRUE(refused(o, 1));
}

}  // namespace
