#include "coarse/increments.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "numeric/arrays.hpp"

namespace nongauss {
namespace {

struct Grained {
    Increments inc;
    std::vector<double> centred;       // before standardisation
    std::vector<double> standardised;  // after
    std::string err;
};

Grained grain(const std::vector<double>& series, long scale_pt, int ncoef, int fit_method = 1) {
    std::vector<double> r(series.size() + 1);
    for (std::size_t i = 0; i < series.size(); ++i) r[i + 1] = series[i];
    ::testing::internal::CaptureStderr();
    Grained g{coarse_grain(r.data(), static_cast<int>(series.size()), 100, scale_pt, ncoef, fit_method),
              {}, {}, ""};
    g.err = ::testing::internal::GetCapturedStderr();
    for (int i = 1; i <= g.inc.ncg; ++i) g.centred.push_back(g.inc.cg_series[i]);
    standardize_increments(g.inc);
    for (int i = 1; i <= g.inc.ncg; ++i) g.standardised.push_back(g.inc.cg_series[i]);
    release_vector(g.inc.cg_series, 1, g.inc.upper);
    return g;
}

TEST(Increments, MovingSumsWithoutDetrending) {
    const Grained g = grain({1, -1, -1, 1}, 2, 1);
    EXPECT_EQ(g.err, "WITHOUT detrending\n");
    ASSERT_EQ(g.inc.ncg, 3);  // sums 0, -2, 0
    EXPECT_DOUBLE_EQ(g.inc.cg_mean, -2.0 / 3);
    EXPECT_DOUBLE_EQ(g.inc.cg_sd, std::sqrt(8.0 / 9));
    EXPECT_NEAR(g.standardised[0], 1 / std::sqrt(2.0), 1e-15);
    EXPECT_NEAR(g.standardised[1], -std::sqrt(2.0), 1e-15);

    std::vector<double> ten;
    for (int i = 1; i <= 10; ++i) ten.push_back(i * i % 7 - 3.0);
    const Grained m = grain(ten, 3, 0);
    ASSERT_EQ(m.inc.ncg, 8);
    EXPECT_DOUBLE_EQ(m.centred[0] + m.inc.cg_mean, ten[0] + ten[1] + ten[2]);

    const Grained unit = grain({0.5, -0.25, 0.75}, 1, 1);  // scale_pt 1: the points themselves
    ASSERT_EQ(unit.inc.ncg, 3);
    EXPECT_DOUBLE_EQ(unit.centred[2] + unit.inc.cg_mean, 0.75);
}

TEST(Increments, StraightLineDetrendingExample) {
    for (int method : {1, 2}) {
        const Grained g = grain({1, -1, -1, 1}, 2, 2, method);
        EXPECT_EQ(g.err, "detrend using polynomial fits of order 1\n" + std::string(48, '-') + "\n");
        ASSERT_EQ(g.inc.ncg, 2);  // increments -1.2 and 0.8
        EXPECT_NEAR(g.inc.cg_mean, -0.2, 1e-14);
        EXPECT_NEAR(g.inc.cg_sd, 1.0, 1e-14);
        EXPECT_NEAR(g.centred[0], -1.0, 1e-14);
        EXPECT_NEAR(g.standardised[1], 1.0, 1e-14);
    }
}

TEST(Increments, WindowsOverlapByHalf) {
    std::vector<double> ten;
    for (int i = 1; i <= 10; ++i) ten.push_back(std::sin(i * 1.7));
    EXPECT_EQ(grain(ten, 3, 2).inc.ncg, 6);           // windows at 1 and 4
    EXPECT_EQ(grain({1, 2, 3, 4, 5, 7}, 3, 2).inc.ncg, 3);  // exactly one window
}

// Runs the stage without capturing its output (death tests capture it).
void grain_uncaptured(const std::vector<double>& series, long scale_pt, int ncoef) {
    std::vector<double> r(series.size() + 1);
    for (std::size_t i = 0; i < series.size(); ++i) r[i + 1] = series[i];
    coarse_grain(r.data(), static_cast<int>(series.size()), 100, scale_pt, ncoef, 1);
}

TEST(IncrementsDeathTest, TooShortSeriesEndTheRun) {
    const char* report = "^Run-time error\\.\\.\\.\nThe data length is not enough!\n\n"
                         "\\.\\.\\.now exiting to system\\.\\.\\.\n$";
    EXPECT_EXIT(grain_uncaptured({1, 2, 3, 4, 5}, 3, 2), ::testing::ExitedWithCode(1), report);  // 2*3 > 5
    EXPECT_EXIT(grain_uncaptured({1, 2}, 3, 1), ::testing::ExitedWithCode(1), report);           // nres < scale_pt
    EXPECT_EXIT(grain_uncaptured({}, 1, 1), ::testing::ExitedWithCode(1), report);               // nres 0
    EXPECT_EXIT(grain_uncaptured({1, 2}, 4000000000000L, 1), ::testing::ExitedWithCode(1), report);
}

}  // namespace
}  // namespace nongauss
