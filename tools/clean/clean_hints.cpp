#include "clean/clean_hints.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "nongauss/table_shape.hpp"

namespace nongauss::clean {

namespace {

std::string_view without_mark(std::string_view head) {
    if (head.substr(0, 3) == "\xEF\xBB\xBF") head.remove_prefix(3);
    return head;
}

TableShape shape_of(const RRText& rr, bool decimal_comma) {
    return survey_table(without_mark(rr.head), rr.head_complete, decimal_comma);
}

std::string joined(const std::vector<std::string>& parts, const char* separator) {
    std::string text;
    for (const std::string& p : parts) text += (text.empty() ? "" : separator) + p;
    return text;
}

std::string shortest(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

}  // namespace

std::string layout_hint(const CommandLine& settings, const RRText& rr, const char* prefix) {
    std::vector<std::string> reasons;
    std::vector<std::string> options;
    TableShape shape = shape_of(rr, settings.decimal_comma);
    if (settings.decimal_comma && !shape.numeric) {
        const TableShape points = shape_of(rr, false);
        if (points.numeric && !points.decimal_comma) {
            reasons.push_back("the numbers have a decimal point");
            options.push_back("without --decimal-comma");
            shape = points;
        }
    }
    if (!settings.decimal_comma && shape.decimal_comma) {
        reasons.push_back("the numbers have a decimal comma");
        options.push_back("--decimal-comma");
    }
    const bool by_number = !settings.column.empty() &&
                           settings.column.find_first_not_of("0123456789") == std::string::npos;
    const long column = by_number ? std::atol(settings.column.substr(0, 9).c_str()) : 0;
    if (shape.time_and_interval() && (settings.column.empty() || column > shape.fields)) {
        reasons.push_back(time_and_interval_text(shape));
        options.push_back("--column " + std::to_string(shape.interval_column));
    }
    if (by_number && shape.fields > 0 && column > shape.fields) {
        reasons.insert(reasons.begin(), "the lines hold " + std::to_string(shape.fields) +
                                            " fields separated by " + delimiter_name(shape.delimiter) +
                                            ": there is no column " + settings.column);
        if (!shape.time_and_interval())
            options.push_back("--column N, N from 1 to " + std::to_string(shape.fields));
    }
    if (options.empty()) return std::string();
    return prefix + joined(reasons, "; ") + ": read it with nongauss-clean " + joined(options, " ") + "\n";
}

std::string several_numbers_warning(const RRText& rr) {
    if (rr.first_line_numbers <= 1) return std::string();
    const TableShape shape = shape_of(rr, false);
    if (shape.time_and_interval() && shape.fields == rr.first_line_numbers)
        return "Warning: " + time_and_interval_text(shape) +
               ", but they are read as consecutive intervals: read the intervals alone with --column " +
               std::to_string(shape.interval_column) + "\n";
    return "Warning: line " + std::to_string(rr.first_data_line) + " holds " +
           std::to_string(rr.first_line_numbers) +
           " numbers, read as consecutive intervals; if they are columns (a time and an interval), choose "
           "one with --column N\n";
}

std::string unit_warning(const CommandLine& settings, const RRText& rr) {
    if (settings.unit || rr.numbers.size() < 2) return std::string();
    // Times and intervals read together disagree as a matter of course; the
    // table's own warning says what reads them.
    if (settings.column.empty() && shape_of(rr, false).time_and_interval()) return std::string();
    std::vector<double> others;
    others.reserve(rr.numbers.size() - 1);
    for (std::size_t i = 1; i < rr.numbers.size(); ++i) others.push_back(rr.numbers[i].value);
    const auto middle = others.begin() + static_cast<std::ptrdiff_t>(others.size() / 2);
    std::nth_element(others.begin(), middle, others.end());
    const double first = rr.numbers[0].value;
    const bool first_ms = unit_rule(first) == Unit::milliseconds;
    if (unit_rule(first) == unit_rule(*middle)) return std::string();
    const char* decided = first_ms ? "milliseconds" : "seconds";
    const char* other = first_ms ? "seconds" : "milliseconds";
    return "Warning: the first value, " + shortest(first) + ", makes the unit " + decided +
           ", but the median of the other intervals, " + shortest(*middle) + ", would make it " + other +
           "; if the first value is a start time or a spurious beat, give --unit " + (first_ms ? "s" : "ms") +
           " (the value is then flagged and left out)\n";
}

}  // namespace nongauss::clean
