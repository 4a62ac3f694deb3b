#include "prep/series_warnings.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace nongauss {

namespace {

std::string format(const char* fmt, double value) {
    char text[64];
    std::snprintf(text, sizeof text, fmt, value);
    return text;
}

// A value as the user wrote it, without trailing zeros ("95", "0.812").
std::string shortest(double value) { return format("%.10g", value); }

}  // namespace

std::string printable_excerpt(std::string_view text, std::size_t limit) {
    std::string shown;
    for (std::size_t i = 0; i < text.size() && i < limit; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\\' || c == '"') {
            shown += '\\';
            shown += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7f) {
            shown += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            shown += hex;
        }
    }
    if (text.size() > limit) shown += "...";
    return shown;
}

std::string read_stop_warning(const ReadStop& stop) {
    std::string text = "reading stopped at row " + std::to_string(stop.row) + " at \"" +
                       printable_excerpt(stop.text) + "\", which is not a number: ";
    if (stop.total_bytes > 0 && stop.unread_bytes >= 0) {
        text += std::to_string(stop.unread_bytes) + " of " + std::to_string(stop.total_bytes) +
                " bytes (" + format("%.1f", 100.0 * static_cast<double>(stop.unread_bytes) /
                                                static_cast<double>(stop.total_bytes)) +
                " %) of the file were not read";
    } else {
        text += "the rest of the input was not read";
    }
    text += ", and only the " + std::to_string(stop.row - 1) +
            " intervals before it are analysed; remove or fix that row (nongauss-clean skips header lines "
            "and reads CSV columns)";
    return text;
}

std::string read_stop_hint(const ReadStop& stop) {
    return "Hint: the first word that could not be read is \"" + printable_excerpt(stop.text) +
           "\" (row " + std::to_string(stop.row) +
           "). A header line? Remove it. A table or CSV export (time and RR columns, a decimal comma)? "
           "Convert it with nongauss-clean --column N (or the column's name), see nongauss-clean(1)";
}

std::optional<std::string> range_warning(const std::vector<double>& intervals, double unit_divisor) {
    RangeTally tally;
    for (const double v : intervals) tally.add(v / unit_divisor);
    return range_warning(tally);
}

std::optional<std::string> range_warning(const RangeTally& tally) {
    if (tally.count == 0) return std::nullopt;
    const bool longest = tally.longest_row != 0;
    const std::size_t row = longest ? tally.longest_row : tally.shortest_row;
    const double extreme_s = longest ? tally.longest_s : tally.shortest_s;
    const double total_s = tally.total_s;
    return std::to_string(tally.count) + " of " + std::to_string(tally.rows) + " intervals lie outside " +
           format("%.1f", plausible_min_s) + "-" + format("%.1f", plausible_max_s) + " s and cover " +
           format("%.2f", total_s > 0 ? 100.0 * tally.outside_s / total_s : 0.0) + " % of the time; the " +
           (longest ? "longest" : "shortest") + " is " + shortest(extreme_s) + " s at row " +
           std::to_string(row) +
           ". Gaps and artefacts inflate SD and lambda: clean the series first (nongauss-clean)";
}

std::optional<std::string> unit_warning(const std::vector<double>& intervals, Unit decided) {
    if (intervals.size() < 2) return std::nullopt;
    const auto at_most_100 = std::count_if(intervals.begin() + 1, intervals.end(), [](double v) { return v <= 100; });
    return unit_warning(intervals, decided, static_cast<std::size_t>(at_most_100));
}

std::optional<std::string> unit_warning(const std::vector<double>& intervals, Unit decided,
                                        std::size_t others_at_most_100) {
    if (intervals.size() < 2) return std::nullopt;
    // The median is element others.size() / 2 of the others in ascending
    // order; it exceeds 100 exactly when no more than that many are at most 100.
    const std::size_t middle_index = (intervals.size() - 1) / 2;
    const Unit by_median = others_at_most_100 <= middle_index ? Unit::milliseconds : Unit::seconds;
    if (by_median == decided) return std::nullopt;
    std::vector<double> others(intervals.begin() + 1, intervals.end());
    const auto middle = others.begin() + static_cast<std::ptrdiff_t>(middle_index);
    std::nth_element(others.begin(), middle, others.end());
    const double median = *middle;
    const char* chosen = decided == Unit::milliseconds ? "milliseconds" : "seconds";
    const char* other = decided == Unit::milliseconds ? "seconds" : "milliseconds";
    return "the first value, " + shortest(intervals[0]) + ", makes the unit " + chosen +
           ", but the median of the other intervals, " + shortest(median) + ", would make it " + other +
           "; if the first line is not an interval (a start time, a spurious beat), remove it";
}

}  // namespace nongauss
