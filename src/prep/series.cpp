#include "nongauss/series.hpp"

#include <climits>

#include "nongauss/error.hpp"
#include "numeric/arrays.hpp"
#include "prep/interval_check.hpp"
#include "prep/interval_survey.hpp"
#include "prep/series_warnings.hpp"

namespace nongauss {

Unit unit_rule(double first_interval) { return first_interval > 100 ? Unit::milliseconds : Unit::seconds; }

Series Series::from_intervals(std::vector<double> intervals, std::optional<Unit> unit) {
    if (intervals.empty()) throw Error(ErrorKind::input, "No data was read!");
    // The analysis counts the intervals in an int.
    if (intervals.size() > static_cast<std::size_t>(INT_MAX) - 1)
        throw Error(ErrorKind::input, "The data length is too long!");
    Series series;
    series.unit_ = unit ? *unit : unit_rule(intervals.front());
    const int n = static_cast<int>(intervals.size());
    const double* rri = unit_offset(intervals.data());  // rri[1..n]
    // The checks, the duration and the warnings' counts in one pass.
    const IntervalSurvey survey = survey_intervals(rri, n, series.unit_divisor());
    reject_intervals(rri, survey.unusable_row, survey.stalled_row, survey.stalled_elapsed);
    series.duration_s_ = (survey.sum - rri[n]) / series.unit_divisor();
    series.intervals_ = std::move(intervals);
    // A unit the rest of the series contradicts first: it explains the rest.
    if (!unit)
        if (auto disagreement = unit_warning(series.intervals_, series.unit_, survey.others_at_most_100))
            series.warnings_.push_back(*disagreement);
    if (auto range = range_warning(survey.range)) series.warnings_.push_back(*range);
    return series;
}

}  // namespace nongauss
