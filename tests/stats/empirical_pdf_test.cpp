#include "stats/empirical_pdf.hpp"

#include <gtest/gtest.h>

#include <cmath>
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
    estimate_pdf(static_cast<int>(values.size()), x.data(), nbins, h.centre.data(), h.p.data());
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

}  // namespace
}  // namespace nongauss
