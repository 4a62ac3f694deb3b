// The checks between the stages: the time axis of the intervals and the range
// of the resampled series and of the increments.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "driver/finite_check.hpp"
#include "driver/interval_check.hpp"

namespace nongauss {
namespace {

// rri[1..n] from a list.
std::vector<double> series(std::vector<double> values) {
    values.insert(values.begin(), 0.0);
    return values;
}

int stalled(const std::vector<double>& values, double& elapsed) {
    const auto rri = series(values);
    return first_stalled_interval(rri.data(), static_cast<int>(values.size()), elapsed);
}

TEST(TimeAxis, AnIntervalThatVanishesAgainstTheElapsedTimeIsNamed) {
    double elapsed = -1;
    // Milliseconds: 1e-300 ms after 1 s leaves the elapsed time at 1 s.
    EXPECT_EQ(stalled({1000, 1e-300, 1000, 1000}, elapsed), 2);
    EXPECT_EQ(elapsed, 1.0);
    // Seconds: the same once the elapsed time is large enough.
    EXPECT_EQ(stalled({0.8, 0.8, 1e-17, 0.8}, elapsed), 3);
    EXPECT_EQ(elapsed, 1.6);
    // One unit in the last place still advances the axis.
    EXPECT_EQ(stalled({1.0, std::nextafter(1.0, 2.0) - 1.0, 1.0}, elapsed), 0);
}

TEST(TimeAxis, TheLastIntervalAndTinyFirstIntervalsPass) {
    double elapsed = -1;
    // The last interval does not enter the time axis.
    EXPECT_EQ(stalled({800, 810, 1e-300}, elapsed), 0);
    EXPECT_DOUBLE_EQ(elapsed, 1.61);
    // Anything positive advances a time axis that starts at 0.
    EXPECT_EQ(stalled({1e-310, 1, 1}, elapsed), 0);
    EXPECT_EQ(stalled({800}, elapsed), 0);
}

TEST(TimeAxis, MessageNamesRowValueAndElapsedTime) {
    const auto rri = series({1000, 1000, 1e-300, 1000});
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(check_time_axis(rri.data(), 4));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Invalid RR interval at row 3: 1e-300 (does not advance the elapsed time of 2 sec)\n");
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(check_time_axis(rri.data(), 2));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST(Range, ResampledPointsAreCheckedInMilliseconds) {
    std::vector<double> points = series({0.1, -0.1, 0.2});
    Resampled r;
    r.resampled = points.data();
    r.nres = 3;
    r.resampled_mean = 0.8;
    EXPECT_EQ(first_point_out_of_range(r), 0);
    points[2] = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(first_point_out_of_range(r), 2);
    points[2] = 1e306;  // finite in seconds, not in milliseconds
    EXPECT_EQ(first_point_out_of_range(r), 2);
    points[2] = -0.1;
    r.resampled_mean = 1e306;  // an out-of-range mean shows in the first point
    EXPECT_EQ(first_point_out_of_range(r), 1);

    EXPECT_EXIT(check_resampled(r), ::testing::ExitedWithCode(1),
                "^Run-time error\\.\\.\\.\n"
                "The resampled series is out of range at point 1!\n"
                "\\.\\.\\.now exiting to system\\.\\.\\.\n$");
}

TEST(Range, IncrementsAreCheckedThroughEveryValueAndTheirSpread) {
    std::vector<double> cg = series({-1.0, 1.0});
    Increments inc;
    inc.cg_series = cg.data();
    inc.ncg = 2;
    inc.cg_sd = 1.0;
    EXPECT_TRUE(increments_in_range(inc));
    inc.cg_sd = 0.0;  // no spread is a result, not an error
    EXPECT_TRUE(increments_in_range(inc));
    inc.cg_sd = std::numeric_limits<double>::infinity();  // squares beyond the range
    EXPECT_FALSE(increments_in_range(inc));
    inc.cg_sd = 1.0;
    cg[1] = 1e306;
    EXPECT_FALSE(increments_in_range(inc));

    EXPECT_EXIT(check_increments(inc), ::testing::ExitedWithCode(1),
                "^Run-time error\\.\\.\\.\n"
                "The coarse-grained series is out of range!\n"
                "\\.\\.\\.now exiting to system\\.\\.\\.\n$");
}

}  // namespace
}  // namespace nongauss
