#include "nongauss/table_shape.hpp"

#include <cmath>
#include <vector>

#include "nongauss/number_text.hpp"

namespace nongauss {

namespace {

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && is_space(s.front())) s.remove_prefix(1);
    while (!s.empty() && is_space(s.back())) s.remove_suffix(1);
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"') s = s.substr(1, s.size() - 2);
    return s;
}

char find_delimiter(std::string_view line) {
    if (line.find('\t') != std::string_view::npos) return '\t';
    if (line.find(';') != std::string_view::npos) return ';';
    const std::string_view t = trimmed(line);
    for (std::size_t i = 0; i < t.size(); ++i)
        if (is_space(t[i])) return ' ';
    if (t.find(',') != std::string_view::npos) return ',';
    return ' ';
}

std::vector<std::string_view> fields_of(std::string_view line, char delimiter) {
    std::vector<std::string_view> fields;
    if (delimiter == ' ') {
        std::size_t i = 0;
        while (i < line.size()) {
            while (i < line.size() && is_space(line[i])) ++i;
            const std::size_t start = i;
            while (i < line.size() && !is_space(line[i])) ++i;
            if (i > start) fields.push_back(trimmed(line.substr(start, i - start)));
        }
        return fields;
    }
    std::size_t start = 0;
    for (std::size_t i = 0; i <= line.size(); ++i) {
        if (i == line.size() || line[i] == delimiter) {
            fields.push_back(trimmed(line.substr(start, i - start)));
            start = i + 1;
        }
    }
    return fields;
}

// The value of a field that is one whole number with a decimal point (or, with
// `comma`, with one decimal comma and no point); false for anything else.
bool field_value(std::string_view field, bool comma, double& value) {
    if (field.empty()) return false;
    if (!comma) {
        return field.find(',') == std::string_view::npos && decimal_prefix(field, value) == field.size();
    }
    if (field.find('.') != std::string_view::npos) return false;
    std::string copy(field);
    const std::size_t at = copy.find(',');
    if (at != std::string::npos) {
        if (copy.find(',', at + 1) != std::string::npos) return false;
        copy[at] = '.';
    }
    return decimal_prefix(copy, value) == copy.size();
}

bool begins_number(std::string_view field) { return decimal_prefix_length(field) > 0; }

// The steps of `time` match `interval` (aligned at the start or the end of
// each beat) within 2 %, at one of the three unit factors.
bool steps_match(const std::vector<double>& time, const std::vector<double>& interval) {
    for (const int align : {0, 1}) {
        for (const double factor : {1.0, 1000.0, 0.001}) {
            bool all = true;
            for (std::size_t i = 0; all && i + 1 < time.size(); ++i) {
                const double step = (time[i + 1] - time[i]) * factor;
                const double v = interval[i + static_cast<std::size_t>(align)];
                all = v > 0 && std::fabs(step - v) <= 0.02 * v;
            }
            if (all) return true;
        }
    }
    return false;
}

}  // namespace

TableShape survey_table(std::string_view head, bool complete, bool decimal_comma) {
    TableShape shape;
    if (!complete) {
        const std::size_t last = head.rfind('\n');
        head = last == std::string_view::npos ? std::string_view() : head.substr(0, last + 1);
    }
    std::vector<std::vector<double>> rows;
    bool comma_seen = false;
    bool numeric = true;
    int line_number = 0;
    std::size_t pos = 0;
    while (pos < head.size() && shape.lines < table_shape_lines) {
        std::size_t end = head.find('\n', pos);
        if (end == std::string_view::npos) end = head.size();
        const std::string_view line = head.substr(pos, end - pos);
        pos = end + 1;
        ++line_number;
        if (trimmed(line).empty()) continue;
        if (shape.lines == 0) {
            const char d = find_delimiter(line);
            const std::vector<std::string_view> first = fields_of(line, d);
            if (first.empty() || !begins_number(first.front())) continue;  // a header line
            shape.delimiter = d;
            shape.first_line = line_number;
        }
        const std::vector<std::string_view> fields = fields_of(line, shape.delimiter);
        if (fields.empty() || !begins_number(fields.front())) break;
        const int n = static_cast<int>(fields.size());
        shape.fields = shape.lines == 0 ? n : (shape.fields == n ? n : 0);
        ++shape.lines;
        std::vector<double> values;
        for (const std::string_view f : fields) {
            double v = 0.0;
            if (field_value(f, decimal_comma, v)) {
                values.push_back(v);
            } else if (!decimal_comma && f.find(',') != std::string_view::npos && field_value(f, true, v)) {
                comma_seen = true;
                values.push_back(v);
            } else {
                numeric = false;
            }
        }
        rows.push_back(std::move(values));
    }
    shape.numeric = shape.lines > 0 && numeric && shape.fields > 0;
    shape.decimal_comma = shape.numeric && comma_seen;
    if (!shape.numeric || shape.fields < 2 || shape.lines < 3) return shape;

    const auto column = [&rows](int c) {
        std::vector<double> values;
        for (const std::vector<double>& row : rows) values.push_back(row[static_cast<std::size_t>(c)]);
        return values;
    };
    for (int t = 0; t < shape.fields; ++t) {
        const std::vector<double> time = column(t);
        bool rising = true;
        for (std::size_t i = 0; rising && i + 1 < time.size(); ++i) rising = time[i + 1] > time[i];
        if (!rising) continue;
        for (int k = 0; k < shape.fields; ++k) {
            if (k == t || !steps_match(time, column(k))) continue;
            shape.time_column = t + 1;
            shape.interval_column = k + 1;
            return shape;
        }
    }
    return shape;
}

const char* delimiter_name(char delimiter) {
    switch (delimiter) {
        case '\t': return "tabs";
        case ';': return "semicolons";
        case ',': return "commas";
        default: return "blanks";
    }
}

std::string time_and_interval_text(const TableShape& shape) {
    return "every line holds " + std::to_string(shape.fields) + " numbers, and column " +
           std::to_string(shape.time_column) + " rises by the values of column " +
           std::to_string(shape.interval_column) + ", as the time of each beat does";
}

}  // namespace nongauss
