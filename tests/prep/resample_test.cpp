#include "prep/resample.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "nongauss/stages.hpp"

namespace nongauss {
namespace {

// Runs the preparation stage on `values` (as read) through the public stages,
// up to the scale line, and returns resampled[1..nres].
struct Stage {
    double unit = 0;
    double total_time = 0;
    int nres = 0;
    double resampled_mean = 0;
    long scale_pt = 0;
};
struct Prepared {
    Stage r;
    std::vector<double> points;  // points[j - 1] = resampled[j]
    std::string err;
};

Prepared prepare(std::vector<double> values, double dt, double scale, Interpolation method) {
    Settings settings;
    settings.dt = dt;
    settings.interpolation = method;
    StringTranscript transcript;
    const Series series = Series::from_intervals(values);
    const PreparedSeries prepared(series, settings, transcript);
    Prepared p;
    p.r.unit = series.unit_divisor();
    p.r.total_time = prepared.duration_s();
    p.r.nres = prepared.nres();
    p.r.resampled_mean = prepared.resampled_mean_s();
    for (int j = 1; j <= p.r.nres; ++j) p.points.push_back(prepared.resampled()[static_cast<std::size_t>(j - 1)]);
    try {
        const ScaleIncrements inc = increments_at(prepared, scale, transcript);
        p.r.scale_pt = inc.scale_pt();
    } catch (const Error&) {
        p.r.scale_pt = scale_in_points(scale, dt);  // too short for the scale: the line is written all the same
    }
    p.err = transcript.text();
    if (const auto end = p.err.find("scale: "); end != std::string::npos)
        p.err.erase(p.err.find('\n', end) + 1);
    return p;
}

std::vector<double> plus_mean(const Prepared& p) {
    std::vector<double> v;
    for (double x : p.points) v.push_back(x + p.r.resampled_mean);
    return v;
}

TEST(Resample, WorkedExampleForEachMethod) {
    const std::vector<double> ms = {1000, 2000, 3000};

    const Prepared step = prepare(ms, 0.5, 2, Interpolation::step);
    EXPECT_EQ(step.r.unit, 1000);
    EXPECT_EQ(step.r.total_time, 3.0);
    ASSERT_EQ(step.r.nres, 6);
    EXPECT_EQ(step.r.resampled_mean, 1.5);
    EXPECT_EQ(plus_mean(step), (std::vector<double>{1, 1, 1, 2, 2, 2}));

    const Prepared linear = prepare(ms, 0.5, 2, Interpolation::linear);
    EXPECT_EQ(linear.r.resampled_mean, 2.0);
    EXPECT_EQ(linear.points, (std::vector<double>{-1, -0.5, 0, 0.25, 0.5, 0.75}));

    const Prepared spline = prepare(ms, 0.5, 2, Interpolation::spline);
    EXPECT_DOUBLE_EQ(spline.r.resampled_mean, 12.34375 / 6);
    const std::vector<double> expect = {1, 1.53125, 2, 2.359375, 2.625, 2.828125};
    const auto got = plus_mean(spline);
    for (int j = 0; j < 6; ++j) EXPECT_NEAR(got[j], expect[j], 1e-15) << j;
    EXPECT_EQ(spline.r.scale_pt, 4);
}

TEST(Resample, TranscriptLines) {
    const Prepared p = prepare({1000, 2000, 3000}, 0.5, 2, Interpolation::linear);
    EXPECT_EQ(p.err,
              "number of input data: 3\n"
              "total time:     3.0 sec =     0.1 min = 0.0 h \n"
              "resampling interval (frequency): 0.500 sec ( 2.00 Hz)\n"
              "Resamping with linear interpolation.\n"
              "scale: 2.00000 (4 pt)\n");
    EXPECT_NE(prepare({1, 1}, 0.5, 2, Interpolation::step).err.find("Resamping as a step function\n"), std::string::npos);
    EXPECT_NE(prepare({1, 1}, 0.5, 2, Interpolation::spline).err.find("Resamping with cubic spline interpolation.\n"),
              std::string::npos);
}

TEST(Resample, UnitIsDecidedByTheFirstIntervalAlone) {
    EXPECT_EQ(prepare({100, 0.8, 0.9}, 0.25, 25, Interpolation::linear).r.unit, 1);
    const Prepared ms = prepare({100.5, 0.8, 0.9}, 0.25, 25, Interpolation::linear);
    EXPECT_EQ(ms.r.unit, 1000);
    EXPECT_DOUBLE_EQ(ms.r.total_time, (100.5 + 0.8) / 1000);
}

TEST(Resample, EqualIntervalsGiveAZeroSeries) {
    for (const Interpolation method : {Interpolation::step, Interpolation::linear, Interpolation::spline}) {
        // 1000 ms is exactly 1 s, so the mean is exact and every point is 0.
        const Prepared p = prepare(std::vector<double>(50, 1000), 0.25, 25, method);
        EXPECT_EQ(p.r.resampled_mean, 1.0) << static_cast<int>(method);
        for (double x : p.points) EXPECT_EQ(x, 0.0) << static_cast<int>(method);
    }
}

TEST(Resample, TooShortSeriesIsLeftUntouched) {
    const Prepared one = prepare({800}, 0.25, 25, Interpolation::spline);  // one knot: no spline is set up
    EXPECT_EQ(one.r.nres, 0);
    EXPECT_EQ(one.r.resampled_mean, 0.0);
    EXPECT_EQ(prepare({0.1, 0.1}, 0.25, 25, Interpolation::spline).r.nres, 0);
}

TEST(Resample, ScaleInPoints) {
    EXPECT_EQ(scale_in_points(25, 0.25), 100);
    EXPECT_EQ(scale_in_points(2.5, 1), 3);  // halves go up
    EXPECT_EQ(scale_in_points(2, 0.3), 7);
    EXPECT_EQ(scale_in_points(2, 5), 1);  // 0 is raised to 1
    EXPECT_EQ(scale_in_points(1e12, 0.25), 4000000000000L);
    EXPECT_EQ(scale_in_points(1e300, 0.01), LONG_MAX);
}

TEST(Resample, GridTimeAtAnIntervalEndBelongsToThatInterval) {
    // Step function on 1 s, 1 s, 1 s intervals sampled every 0.5 s: t = 1.0 ends
    // the first interval and keeps its value.
    const Prepared p = prepare({1, 2, 3, 4}, 0.5, 2, Interpolation::step);
    ASSERT_EQ(p.r.nres, 12);
    const auto v = plus_mean(p);
    EXPECT_EQ(v[2], 1);  // t = 1.0
    EXPECT_EQ(v[3], 2);  // t = 1.5
    EXPECT_EQ(v[6], 2);  // t = 3.0
    EXPECT_EQ(v[7], 3);
}

TEST(Resample, CursorStaysInsideTheSeriesWhenTheTotalTimeRoundsUp) {
    // Ten intervals of 815 ms, then one of 1e18 ms: summed in ms the total
    // rounds up to a multiple of 128 (8192, not 8150), so the grid, every
    // 0.01 s, reaches 8.18 s, past the start of the last interval at 8.15 s.
    // The cursor must not step onto the last interval (nor read beyond it).
    std::vector<double> ms(10, 815);
    ms.push_back(1e18);
    const Prepared step = prepare(ms, 0.01, 2, Interpolation::step);
    ASSERT_EQ(step.r.nres, 819);
    for (double v : plus_mean(step)) ASSERT_NEAR(v, 0.815, 1e-12);

    const Prepared linear = prepare(ms, 0.01, 2, Interpolation::linear);
    const auto v = plus_mean(linear);
    // Past 8.15 s the line from rri[10] towards rri[11] goes on, steeply.
    for (int j = 815; j < 818; ++j) EXPECT_GT(v[j + 1], v[j]) << j;
    EXPECT_GT(v[818], 1e12);
}

}  // namespace
}  // namespace nongauss
