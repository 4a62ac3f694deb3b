// The checks between the stages: the time axis of the intervals and the range
// of the resampled series and of the increments.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "nongauss/error.hpp"

#include "prep/finite_check.hpp"
#include "prep/interval_check.hpp"
#include "prep/interval_survey.hpp"

namespace nongauss {
namespace {

// rri[1..n] from a list.
std::vector<double> series(std::vector<double> values) {
    values.insert(values.begin(), 0.0);
    return values;
}

int stalled(const std::vector<double>& values, double& elapsed) {
    const auto rri = series(values);
    const IntervalSurvey survey = survey_intervals(rri.data(), static_cast<int>(values.size()), values[0] > 100 ? 1000.0 : 1.0);
    elapsed = survey.stalled_elapsed;
    return survey.stalled_row;
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

// The message of the first failing check, or "" when both pass.
std::string check_message(const std::vector<double>& values, double unit) {
    const auto rri = series(values);
    try {
        const IntervalSurvey survey = survey_intervals(rri.data(), static_cast<int>(values.size()), unit);
        reject_intervals(rri.data(), survey.unusable_row, survey.stalled_row, survey.stalled_elapsed);
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::input);
        return e.message();
    }
    return "";
}

TEST(TimeAxis, MessageNamesRowValueAndElapsedTime) {
    EXPECT_EQ(check_message({1000, 1000, 1e-300, 1000}, 1000),
              "Invalid RR interval at row 3: 1e-300 (does not advance the elapsed time of 2 sec)");
    EXPECT_EQ(check_message({1000, 1000}, 1000), "");
    // An unusable interval anywhere is named before a stalled one.
    EXPECT_EQ(check_message({1000, 1e-300, 1000, -1}, 1000),
              "Invalid RR interval at row 4: -1 (intervals must be positive and finite)");
    // The unit given decides the conversion: 1e-300 s after 1000 s stalls too.
    EXPECT_EQ(check_message({1000, 1e-300, 5}, 1),
              "Invalid RR interval at row 2: 1e-300 (does not advance the elapsed time of 1000 sec)");
}

TEST(Range, ResampledPointsAreCheckedInMilliseconds) {
    std::vector<double> points = series({0.1, -0.1, 0.2});
    EXPECT_EQ(first_point_out_of_range(points.data(), 3, 0.8), 0);
    points[2] = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(first_point_out_of_range(points.data(), 3, 0.8), 2);
    points[2] = 1e306;  // finite in seconds, not in milliseconds
    EXPECT_EQ(first_point_out_of_range(points.data(), 3, 0.8), 2);
    points[2] = -0.1;
    // an out-of-range mean shows in the first point
    EXPECT_EQ(first_point_out_of_range(points.data(), 3, 1e306), 1);
}

}  // namespace
}  // namespace nongauss
