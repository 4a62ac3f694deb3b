#include "prep/series_warnings.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "nongauss/number_reader.hpp"

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

namespace {

// The word that stopped reading, quoted, and what is wrong with it.
std::string stop_word(const ReadStop& stop, bool why) {
    std::string text = "\"" + printable_excerpt(stop.text) + "\"";
    if (stop.long_word) return text + ", a word of more than " + std::to_string(max_token_bytes) + " bytes";
    return why ? text + ", which is not a number" : text;
}

const char unit_warning_start[] = "the first value, ";

}  // namespace

std::string read_stop_warning(const ReadStop& stop) {
    std::string text = "reading stopped at row " + std::to_string(stop.row) + " at " + stop_word(stop, true) + ": ";
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
    return "Hint: the first word that could not be read is " + stop_word(stop, false) + " (row " +
           std::to_string(stop.row) +
           "). A header line? Remove it. A table or CSV export (time and RR columns, a decimal comma)? "
           "Convert it with nongauss-clean --column N (or the column's name), see nongauss-clean(1)";
}

std::string memory_warning(long row) {
    return "insufficient memory: reading stopped at row " + std::to_string(row) + ", and only the " +
           std::to_string(row - 1) +
           " intervals before it are analysed; free memory (or raise the limit, ulimit -v) and run again";
}

std::optional<std::string> changed_while_read_warning(const FileStamp& opened, const FileStamp& left,
                                                      long long bytes_read, bool read_to_end) {
    if (!opened.regular || !left.regular) return std::nullopt;
    const bool resized = opened.size != left.size;
    const bool touched = opened.mtime_s != left.mtime_s || opened.mtime_ns != left.mtime_ns;
    // A file that says it is empty and yet gives bytes, unchanged, is a
    // pseudo-file (/proc): its size means nothing.
    const bool sized = opened.size > 0 || left.size > 0;
    const bool short_or_long = read_to_end && sized && bytes_read != opened.size;
    if (!resized && !touched && !short_or_long) return std::nullopt;
    std::string what = "the input changed while it was read (" + std::to_string(opened.size) +
                       " bytes when opened, " + std::to_string(left.size) + " at the end";
    if (read_to_end) what += ", " + std::to_string(bytes_read) + " read";
    if (!resized && touched) what += ", modified";
    return what + "): the series may be cut short or mixed; analyse it once it is complete, or a copy of it";
}

std::string table_warning(const TableShape& shape) {
    return time_and_interval_text(shape) +
           ": a table of times and intervals, read as one series, row by row, so the results mean "
           "nothing; take the intervals alone with nongauss-clean --column " +
           std::to_string(shape.interval_column) + " (see nongauss-clean(1))";
}

std::string table_hint(const TableShape& shape) {
    return "Hint: " + time_and_interval_text(shape) +
           ": a table of times and intervals? Take the intervals alone with nongauss-clean --column " +
           std::to_string(shape.interval_column) + " (see nongauss-clean(1))";
}

std::string table_options(const TableShape& shape) {
    std::string options;
    if (shape.time_and_interval()) options += " --column " + std::to_string(shape.interval_column);
    if (shape.decimal_comma) options += " --decimal-comma";
    return options.empty() ? options : "nongauss-clean" + options;
}

bool is_unit_warning(const std::string& warning) { return warning.rfind(unit_warning_start, 0) == 0; }

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
    return unit_warning_start + shortest(intervals[0]) + ", makes the unit " + chosen +
           ", but the median of the other intervals, " + shortest(median) + ", would make it " + other +
           "; if the first line is not an interval (a start time, a spurious beat), remove it";
}

}  // namespace nongauss
