// The one pass over a series as read against the checks and warnings it
// stands for, each computed on its own.
#include "prep/interval_survey.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "nongauss/error.hpp"
#include "nongauss/formatted.hpp"
#include "nongauss/series.hpp"
#include "prep/interval_check.hpp"
#include "prep/series_warnings.hpp"

namespace nongauss {
namespace {

// Series of a few to a few dozen intervals around the places where the
// answers change: the plausible range's bounds, 100 (the unit rule), values
// that stall the time axis, unusable values.
std::vector<double> random_series(std::mt19937_64& rng) {
    const bool ms = rng() % 2 == 0;
    const double scale = ms ? 1000.0 : 1.0;
    const double specials[] = {0.2, 3.0, 0.19999999999999998, 3.0000000000000004, 0.05, 7.5, 100.0 / scale,
                               99.99 / scale, 100.01 / scale, 1e-300, 1e300, 0.0, -0.8,
                               std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()};
    const int n = 1 + static_cast<int>(rng() % 40);
    std::vector<double> v;
    for (int i = 0; i < n; ++i) {
        const auto pick = rng() % 100;
        double x;
        if (pick < 70)
            x = 0.3 + static_cast<double>(rng() % 1000) / 1000.0;
        else if (pick < 97)
            x = specials[rng() % 12];  // usable ones
        else
            x = specials[12 + rng() % 3];
        v.push_back(x * scale);
    }
    return v;
}

// The message of the checks, each made on its own: the first unusable
// interval, else the first that does not advance the time axis (converted and
// accumulated as the resampling stage does; the last one does not count).
std::string error_of(const std::vector<double>& v, double unit) {
    for (std::size_t i = 0; i < v.size(); ++i)
        if (!(v[i] > 0.0) || !std::isfinite(v[i]))
            return formatted("Invalid RR interval at row %zu: %g (intervals must be positive and finite)", i + 1, v[i]);
    double elapsed = 0.0;
    for (std::size_t i = 0; i + 1 < v.size(); ++i) {
        const double next = elapsed + (unit > 1 ? v[i] / unit : v[i]);
        if (!(next > elapsed))
            return formatted("Invalid RR interval at row %zu: %g (does not advance the elapsed time of %g sec)", i + 1,
                             v[i], elapsed);
        elapsed = next;
    }
    return "";
}

// The unit warning decided by the median itself.
std::optional<std::string> unit_warning_by_median(const std::vector<double>& v, Unit decided) {
    if (v.size() < 2) return std::nullopt;
    std::vector<double> others(v.begin() + 1, v.end());
    const auto middle = others.begin() + static_cast<std::ptrdiff_t>(others.size() / 2);
    std::nth_element(others.begin(), middle, others.end());
    if (unit_rule(*middle) == decided) return std::nullopt;
    const std::optional<std::string> w = unit_warning(v, decided);
    EXPECT_TRUE(w.has_value());
    return w;
}

TEST(IntervalSurvey, OnePassFindsWhatEachCheckAndWarningFinds) {
    std::mt19937_64 rng(4242);
    int warnings_seen = 0;
    int errors_seen = 0;
    for (int round = 0; round < 20000; ++round) {
        const std::vector<double> v = random_series(rng);
        const int n = static_cast<int>(v.size());
        const double unit = v[0] > 100 ? 1000.0 : 1.0;
        std::vector<double> rri(v);
        rri.insert(rri.begin(), 0.0);
        const IntervalSurvey survey = survey_intervals(rri.data(), n, unit);

        // The checks: the same row, value and elapsed time in the message.
        std::string error;
        try {
            reject_intervals(rri.data(), survey.unusable_row, survey.stalled_row, survey.stalled_elapsed);
        } catch (const Error& e) {
            error = e.message();
        }
        ASSERT_EQ(error, error_of(v, unit)) << round;
        if (!error.empty()) {
            ++errors_seen;
            continue;
        }
        double sum = 0.0;
        for (const double x : v) sum = sum + x;
        EXPECT_EQ(survey.sum, sum);

        // The warnings, from the tallies and from the series itself.
        const auto range = range_warning(survey.range);
        EXPECT_EQ(range, range_warning(v, unit)) << round;
        for (const Unit decided : {Unit::seconds, Unit::milliseconds}) {
            const auto by_median = unit_warning_by_median(v, decided);
            EXPECT_EQ(unit_warning(v, decided, survey.others_at_most_100), by_median) << round;
            EXPECT_EQ(unit_warning(v, decided), by_median) << round;
            warnings_seen += by_median.has_value();
        }

        // And the series made of them says the same.
        const Series series = Series::from_intervals(v);
        EXPECT_EQ(series.duration_s(), (sum - v.back()) / unit);
        std::vector<std::string> want;
        if (auto w = unit_warning_by_median(v, series.unit())) want.push_back(*w);
        if (range) want.push_back(*range);
        EXPECT_EQ(series.warnings(), want) << round;
    }
    EXPECT_GT(errors_seen, 1000);
    EXPECT_GT(warnings_seen, 1000);
}

}  // namespace
}  // namespace nongauss
