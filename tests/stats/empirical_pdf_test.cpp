#include "stats/empirical_pdf.hpp"
#include "support/pool.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

namespace nongauss {
namespace {

struct Histogram {
    std::vector<double> centre;  // 1-based, [0] unused
    std::vector<double> p;
};

Histogram histogram(const std::vector<double>& values, int nbins) {
    std::vector<double> x(values.size() + 1, 0.0);
    for (std::size_t i = 0; i < values.size(); ++i) x[i + 1] = values[i];
    Histogram h{std::vector<double>(nbins + 1, -99.0), std::vector<double>(nbins + 1, -99.0)};
    estimate_pdf(static_cast<int>(values.size()), x.data(), nbins, h.centre.data(), h.p.data(), 1.0, nongauss::testing::pool_of());
    return h;
}

// Expects density `value` in the listed bins and 0 in every other one.
void expect_bins(const Histogram& h, std::vector<int> filled, double value) {
    for (std::size_t i = 1; i < h.p.size(); ++i) {
        bool in = false;
        for (int b : filled) in = in || b == static_cast<int>(i);
        EXPECT_DOUBLE_EQ(h.p[i], in ? value : 0.0) << "bin " << i;
    }
}

TEST(EstimatePdf, EvenBinsWithRemainderAtHalfWidthTakeTheSecondRule) {
    const Histogram h = histogram({-4.5, 4.5}, 10);
    for (int i = 1; i <= 10; ++i) EXPECT_EQ(h.centre[i], -5.5 + i) << i;
    expect_bins(h, {1, 10}, 0.5);
}

TEST(EstimatePdf, OddBinsPutZeroOnAnEdge) {
    const Histogram h = histogram({-5.0, 5.0}, 11);
    for (int i = 1; i <= 11; ++i) EXPECT_EQ(h.centre[i], -5.5 + i) << i;
    expect_bins(h, {1, 11}, 0.5);
}

TEST(EstimatePdf, RemainderRoundedAboveHalfWidthTakesTheFirstRule) {
    // w = 2/3; the computed remainder is just above w/2, so the grid moves up
    // by one bin: -3 falls below bin 1 and bin 10 stays empty.
    const Histogram h = histogram({-3.0, 1.5, 3.0}, 10);
    EXPECT_NEAR(h.centre[1], -2.333333, 1e-6);
    EXPECT_NEAR(h.centre[10], 3.666667, 1e-6);
    const double w = 2.0 / 3.0;
    expect_bins(h, {7, 9}, (1.0 / 3.0) / w);

    const Histogram q = histogram({-1.5, -0.5, 0.5, 1.5}, 10);
    EXPECT_NEAR(q.centre[1], -1.166667, 1e-6);
    EXPECT_NEAR(q.centre[10], 1.833333, 1e-6);
    expect_bins(q, {3, 6, 9}, 0.75);
}

TEST(EstimatePdf, RangeIsSymmetricAboutTheLargerExtreme) {
    const Histogram neg = histogram({-4.0, 2.0}, 10);
    const Histogram pos = histogram({4.0, -1.0}, 10);
    const Histogram both = histogram({-4.0, 4.0}, 10);
    for (int i = 1; i <= 10; ++i) {
        EXPECT_EQ(neg.centre[i], both.centre[i]) << i;
        EXPECT_EQ(pos.centre[i], both.centre[i]) << i;
    }
    // w = 8/9; by rounding this grid takes the first rule (centres -R + w .. R + w).
    const double w = 8.0 / 9.0;
    for (int i = 2; i <= 10; ++i) EXPECT_NEAR(both.centre[i] - both.centre[i - 1], w, 1e-12);
    EXPECT_NEAR(both.centre[1], -4.0 + w, 1e-12);
}

TEST(EstimatePdf, DegenerateDataStayInRangeWithZeroDensity) {
    // All zeros (R = 0), infinite and NaN data: no bin is filled and no index
    // leaves 1..nbins (the sanitizer build checks the latter).
    for (const std::vector<double>& data :
         {std::vector<double>{0.0, 0.0, 0.0}, std::vector<double>{INFINITY, -INFINITY},
          std::vector<double>{NAN, NAN}, std::vector<double>{NAN, 1.0}}) {
        const Histogram h = histogram(data, 10);
        for (int i = 1; i <= 10; ++i) EXPECT_EQ(h.p[i], 0.0) << i;
    }

    // A NaN among finite data is counted in no bin but still in n.
    const Histogram h = histogram({-4.5, NAN, 4.5, -NAN}, 10);
    expect_bins(h, {1, 10}, 0.25);
}

// The values divided where they are used give, bit for bit, what the
// quotients stored beforehand give: also where quotients are zeros of either
// sign, underflow, overflow or are not numbers, and for every kind of divisor.
TEST(EstimatePdf, DividingWhereUsedEqualsDividingFirst) {
    const double nan = std::nan("");
    const double inf = INFINITY;
    const std::vector<std::vector<double>> sets = {
        {3.0, -5.0, 0.5, -0.25, 4.0},
        {0.0, -0.0, 1e-320, -1e-320, 2e-310},  // zeros and subnormals
        {nan, 1.0, -2.0},                       // a first value that is not a number
        {1.0, nan, -2.0, 0.0},
        {1e308, -1e308, 3.0},                   // quotients that overflow
        {-0.0, 0.0, 0.0},
        {2.5, 2.5, -2.5, -2.5},
        {-inf, 1.0, inf},
    };
    for (const auto& values : sets) {
        for (const double divisor : {1.0, 3.0, 0.1, 1e-300, 1e300, 0.0, inf, 5e-324}) {
            const int n = static_cast<int>(values.size());
            std::vector<double> x(values.size() + 1, 0.0);
            std::vector<double> q(values.size() + 1, 0.0);
            for (int i = 1; i <= n; ++i) {
                x[static_cast<std::size_t>(i)] = values[static_cast<std::size_t>(i - 1)];
                q[static_cast<std::size_t>(i)] = x[static_cast<std::size_t>(i)] / divisor;
            }
            for (const int nbins : {10, 11}) {
                std::vector<double> c1(static_cast<std::size_t>(nbins) + 1), p1(c1.size());
                std::vector<double> c2(c1.size()), p2(c1.size());
                estimate_pdf(n, x.data(), nbins, c1.data(), p1.data(), divisor, nongauss::testing::pool_of());
                estimate_pdf(n, q.data(), nbins, c2.data(), p2.data(), 1.0, nongauss::testing::pool_of());
                for (int i = 1; i <= nbins; ++i) {
                    const auto k = static_cast<std::size_t>(i);
                    EXPECT_EQ(std::bit_cast<std::uint64_t>(c1[k]), std::bit_cast<std::uint64_t>(c2[k]))
                        << "divisor " << divisor << " value " << values[0] << " bin " << i;
                    EXPECT_EQ(std::bit_cast<std::uint64_t>(p1[k]), std::bit_cast<std::uint64_t>(p2[k]));
                }
            }
        }
    }
}

}  // namespace
}  // namespace nongauss
