#include "nongauss/series.hpp"

#include <climits>

#include "nongauss/error.hpp"
#include "numeric/arrays.hpp"
#include "prep/interval_check.hpp"
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
    check_intervals(rri, n, series.unit_divisor());
    double sum = 0.0;
    for (int i = 1; i <= n; ++i) sum = sum + rri[i];
    series.duration_s_ = (sum - rri[n]) / series.unit_divisor();
    series.intervals_ = std::move(intervals);
    // A unit the rest of the series contradicts first: it explains the rest.
    if (!unit)
        if (auto disagreement = unit_warning(series.intervals_, series.unit_)) series.warnings_.push_back(*disagreement);
    if (auto range = range_warning(series.intervals_, series.unit_divisor())) series.warnings_.push_back(*range);
    return series;
}

}  // namespace nongauss
