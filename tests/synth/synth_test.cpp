// The synthetic-series generator: its random numbers, its block amplitudes
// and the series it makes.
#include "nongauss/synth.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <set>

namespace nongauss::synth {
namespace {

TEST(SynthRandom, SplitmixMatchesTheReferenceSequence) {
    // The published first outputs of splitmix64 from seed 0: the same bits
    // on every platform are what makes a seed reproducible.
    Random rng(0);
    EXPECT_EQ(rng.next(), 0xE220A8397B1DCDAFULL);
    EXPECT_EQ(rng.next(), 0x6E789E6AA1B965F4ULL);
    EXPECT_EQ(rng.next(), 0x06C45D188009454FULL);
}

TEST(SynthRandom, UniformNormalAndBoundedDraws) {
    Random rng(42);
    double lo = 1.0, hi = 0.0, sum = 0.0, squares = 0.0, fourth = 0.0;
    const int n = 200000;
    for (int i = 0; i < n; ++i) {
        const double u = rng.uniform();
        lo = std::min(lo, u);
        hi = std::max(hi, u);
        const double z = rng.normal();
        sum += z;
        squares += z * z;
        fourth += z * z * z * z;
    }
    EXPECT_GT(lo, 0.0);
    EXPECT_LE(hi, 1.0);
    EXPECT_NEAR(sum / n, 0.0, 0.01);          // standard error 0.0022
    EXPECT_NEAR(squares / n, 1.0, 0.015);     // standard error 0.0032
    EXPECT_NEAR(fourth / n, 3.0, 0.1);        // a normal's fourth moment; s.e. 0.022

    std::vector<int> counts(7, 0);
    for (int i = 0; i < 70000; ++i) {
        const auto k = rng.below(7);
        ASSERT_LT(k, 7u);
        ++counts[k];
    }
    for (const int c : counts) EXPECT_NEAR(c, 10000, 500);  // s.e. about 93
    EXPECT_EQ(rng.below(1), 0u);
}

TEST(SynthQuantile, KnownValuesAndSymmetry) {
    EXPECT_NEAR(normal_quantile(0.5), 0.0, 1e-15);
    EXPECT_NEAR(normal_quantile(0.975), 1.959963984540054, 1e-8);
    EXPECT_NEAR(normal_quantile(0.8413447460685429), 1.0, 1e-8);
    EXPECT_NEAR(normal_quantile(0.001), -3.090232306167813, 1e-8);
    EXPECT_NEAR(normal_quantile(1e-9), -5.997807015007686, 1e-7);
    // The three pieces meet without a visible step at their joints.
    EXPECT_NEAR(normal_quantile(0.02425 - 1e-12), normal_quantile(0.02425 + 1e-12), 1e-8);
    for (const double p : {0.001, 0.02, 0.1, 0.3, 0.49})
        EXPECT_NEAR(normal_quantile(p), -normal_quantile(1.0 - p), 1e-9) << p;
}

TEST(SynthStratified, ExactSpreadInShuffledOrder) {
    for (const int n : {2, 3, 24, 145}) {
        Random rng(7);
        const std::vector<double> z = stratified_normals(n, rng);
        ASSERT_EQ(z.size(), static_cast<std::size_t>(n));
        const double mean = std::accumulate(z.begin(), z.end(), 0.0) / n;
        double squares = 0.0;
        for (const double v : z) squares += v * v;
        EXPECT_NEAR(mean, 0.0, 1e-14) << n;
        EXPECT_NEAR(squares / n, 1.0, 1e-13) << n;
        // The values are the quantiles: sorted, they are symmetric and grow.
        std::vector<double> sorted = z;
        std::sort(sorted.begin(), sorted.end());
        for (int k = 0; k < n; ++k) EXPECT_DOUBLE_EQ(sorted[k], -sorted[n - 1 - k]);
        EXPECT_LT(sorted.front(), sorted.back());
        if (n >= 24) {
            EXPECT_NE(z, sorted) << "not shuffled";
            Random other(8);
            EXPECT_NE(stratified_normals(n, other), z) << "the order does not depend on the seed";
        }
    }
    Random rng(1);
    EXPECT_EQ(stratified_normals(1, rng), std::vector<double>{0.0});
}

double total_seconds(const Series& s, double per_second) {
    double t = 0.0;
    for (const auto q : s.quanta) t += static_cast<double>(q) / per_second;
    return t;
}

TEST(SynthGenerate, DeterministicPerSeedAndCoversTheLength) {
    Model model;
    model.hours = 2.0;
    const Format ms;
    const Series a = generate(model, ms);
    const Series b = generate(model, ms);
    EXPECT_EQ(a.quanta, b.quanta);
    EXPECT_EQ(a.clamped, 0);

    // The last interval starts before two hours and ends at or after them.
    const double total = total_seconds(a, 1000.0);
    EXPECT_GE(total, 7200.0);
    EXPECT_LT(total - static_cast<double>(a.quanta.back()) / 1000.0, 7200.0);

    // Around the 800 ms mean (the day-night swing is +-10 %), never absurd.
    const double mean = total * 1000.0 / static_cast<double>(a.quanta.size());
    EXPECT_GT(mean, 700.0);
    EXPECT_LT(mean, 900.0);
    const auto [lo, hi] = std::minmax_element(a.quanta.begin(), a.quanta.end());
    EXPECT_GE(*lo, 300);
    EXPECT_LE(*hi, 1500);

    model.seed = 2;
    EXPECT_NE(generate(model, ms).quanta, a.quanta);
}

TEST(SynthGenerate, SecondsAreTheSameIntervals) {
    Model model;
    model.hours = 1.0;
    Format ms;
    Format s;
    s.seconds = true;
    s.decimals = 3;
    EXPECT_EQ(generate(model, ms).quanta, generate(model, s).quanta);
}

TEST(SynthGenerate, ExtremeParametersAreClampedToPlausibleIntervals) {
    Model model;
    model.hours = 1.0;
    model.sd_ms = 300.0;
    model.lambda = 1.5;
    model.mean_ms = 300.0;
    const Series wild = generate(model, Format{});
    EXPECT_GT(wild.clamped, 0);
    for (const auto q : wild.quanta) {
        EXPECT_GE(q, static_cast<std::int64_t>(min_interval_ms));
        EXPECT_LE(q, static_cast<std::int64_t>(max_interval_ms));
    }
}

}  // namespace
}  // namespace nongauss::synth
