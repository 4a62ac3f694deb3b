#include "nongauss/clean.hpp"

#include <algorithm>
#include <charconv>
#include <stdexcept>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "nongauss/number_text.hpp"

namespace nongauss::clean {

namespace {

// The bytes of a file, or of a text in memory, one at a time.
class Source {
public:
    explicit Source(std::FILE* file) : file_(file) {}
    explicit Source(std::string_view text)
        : data_(text.data()), len_(text.size()), head_(text.substr(0, head_bytes)), ended_(true),
          total_(text.size()) {}

    int peek() {
        if (pos_ == len_ && !refill()) return -1;
        return static_cast<unsigned char>(data_[pos_]);
    }
    int get() {
        const int c = peek();
        if (c >= 0) ++pos_;
        return c;
    }
    bool failed() const { return failed_; }
    // The first bytes of the input, and whether they are all of it.
    const std::string& head() const { return head_; }
    bool head_complete() const { return ended_ && total_ == head_.size(); }

private:
    bool refill() {
        if (file_ == nullptr || failed_) return false;
        len_ = std::fread(buffer_, 1, sizeof buffer_, file_);
        pos_ = 0;
        data_ = buffer_;
        if (len_ == 0 && std::ferror(file_)) failed_ = true;
        if (len_ < sizeof buffer_) ended_ = true;
        if (head_.size() < head_bytes) head_.append(buffer_, std::min(len_, head_bytes - head_.size()));
        total_ += len_;
        return len_ > 0;
    }

    std::FILE* file_ = nullptr;
    const char* data_ = nullptr;
    std::size_t pos_ = 0, len_ = 0;
    bool failed_ = false;
    std::string head_;
    bool ended_ = false;
    std::size_t total_ = 0;
    char buffer_[1 << 16];
};

bool is_blank(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// Text that can be a header: no control characters but the tab.
bool is_text(std::string_view line) {
    return std::none_of(line.begin(), line.end(), [](char ch) {
        const auto c = static_cast<unsigned char>(ch);
        return (c < 0x20 && c != '\t') || c == 0x7f;
    });
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && is_space(s.front())) s.remove_prefix(1);
    while (!s.empty() && is_space(s.back())) s.remove_suffix(1);
    return s;
}

// A field without its blanks and, when quoted, without its quotes ("" is one ").
std::string unquote(std::string_view field) {
    field = trim(field);
    if (field.size() < 2 || field.front() != '"' || field.back() != '"') return std::string(field);
    std::string out;
    for (std::size_t i = 1; i + 1 < field.size(); ++i) {
        out.push_back(field[i]);
        if (field[i] == '"' && field[i + 1] == '"') ++i;
    }
    return out;
}

char detect_delimiter(std::string_view line, bool decimal_comma) {
    if (line.find('\t') != std::string_view::npos) return '\t';
    if (line.find(';') != std::string_view::npos) return ';';
    if (!decimal_comma && line.find(',') != std::string_view::npos) return ',';
    return ' ';
}

std::vector<std::string> split(std::string_view line, char delimiter) {
    std::vector<std::string> fields;
    if (delimiter == ' ') {
        std::size_t i = 0;
        while (i < line.size()) {
            while (i < line.size() && is_space(line[i])) ++i;
            const std::size_t start = i;
            while (i < line.size() && !is_space(line[i])) ++i;
            if (i > start) fields.push_back(unquote(line.substr(start, i - start)));
        }
        return fields;
    }
    bool quoted = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= line.size(); ++i) {
        if (i < line.size() && line[i] == '"') quoted = !quoted;
        if (i == line.size() || (line[i] == delimiter && !quoted)) {
            fields.push_back(unquote(line.substr(start, i - start)));
            start = i + 1;
        }
    }
    return fields;
}

// The number text as it will be written: with a decimal comma, ',' becomes
// '.', and a '.' makes the word no number at all.
std::string as_point_decimal(std::string_view word, bool decimal_comma) {
    std::string t(word);
    if (!decimal_comma) return t;
    if (t.find('.') != std::string::npos) return std::string();
    std::replace(t.begin(), t.end(), ',', '.');
    return t;
}

std::string shortened(std::string_view line) {
    line = trim(line);
    if (line.size() <= 60) return std::string(line);
    return std::string(line.substr(0, 57)) + "...";
}

bool equal_ignoring_case(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

class Reader {
public:
    Reader(Source& in, const ReadSettings& settings, RRText& rr, std::string& message)
        : in_(in), settings_(settings), rr_(rr), message_(message) {}

    ReadOutcome run() {
        rr_ = RRText{};
        skip_byte_order_mark();
        const bool ok = settings_.column.empty() ? read_numbers() : read_table();
        if (in_.failed()) return ReadOutcome::read_error;
        rr_.head = in_.head();
        rr_.head_complete = in_.head_complete();
        return ok ? ReadOutcome::ok : ReadOutcome::bad_input;
    }

private:
    void skip_byte_order_mark() {
        if (in_.peek() != 0xEF) return;
        in_.get();
        // A lone 0xEF is no mark; it is not a number either, so reading stops there.
        if (in_.get() != 0xBB || in_.get() != 0xBF) rr_.stop_line = 1, stopped_ = true;
    }

    // Stores `text` (already in point-decimal form) when it begins with a
    // number. Returns the length of the number (0: none); false in `ok`
    // when the number is too long.
    std::size_t take(const std::string& text, bool& ok) {
        double value = 0.0;
        const std::size_t len = decimal_prefix(text, value);
        ok = len <= max_number_chars;
        if (len == 0) return 0;
        if (!ok) {
            message_ = "line " + std::to_string(line_) + ": a number of more than " +
                       std::to_string(max_number_chars) + " characters";
            return len;
        }
        rr_.numbers.push_back({rr_.texts.size(), len, value});
        rr_.texts.append(text, 0, len);
        return len;
    }

    // A word: up to the next white space, at most max_number_chars + 1 bytes read.
    std::string read_word() {
        std::string w;
        for (int c = in_.peek(); c >= 0 && !is_space(static_cast<char>(c)); c = in_.peek()) {
            if (w.size() > max_number_chars) break;
            w.push_back(static_cast<char>(in_.get()));
        }
        return w;
    }

    // The rest of a line, its end consumed; false when it is longer than
    // max_line_bytes (then the line is not consumed to its end).
    bool read_line(std::string& line) {
        for (int c = in_.get(); c >= 0 && c != '\n'; c = in_.get()) {
            if (line.size() >= max_line_bytes) return false;
            line.push_back(static_cast<char>(c));
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return true;
    }

    bool count_header(const std::string& line) {
        if (rr_.header_lines == max_header_lines || !is_text(line)) return false;
        ++rr_.header_lines;
        rr_.last_header = shortened(line);
        return true;
    }

    // Without a column: header lines, then white-space separated numbers.
    bool read_numbers() {
        if (stopped_) return true;
        std::string word;
        for (;;) {  // header lines, up to the first word that begins a number
            while (is_blank(in_.peek())) in_.get();
            const int c = in_.peek();
            if (c < 0) return true;
            if (c == '\n') {
                in_.get(), ++line_;
                continue;
            }
            word = read_word();
            if (!as_point_decimal(word, settings_.decimal_comma).empty() &&
                decimal_prefix_length(as_point_decimal(word, settings_.decimal_comma)) > 0)
                break;
            std::string line = word;
            if (!read_line(line) || !count_header(line)) {
                rr_.stop_line = line_;
                return true;
            }
            ++line_;
        }
        rr_.first_data_line = line_;
        if (word.find(';') != std::string::npos || (!settings_.decimal_comma && word.find(',') != std::string::npos))
            return table_without_column(word.find(';') != std::string::npos ? ';' : ',');
        bool tab_on_first_line = false;
        for (;;) {
            if (line_ == rr_.first_data_line) {
                if (tab_on_first_line) return table_without_column('\t');
                ++rr_.first_line_numbers;
            }
            bool ok = true;
            const std::string text = as_point_decimal(word, settings_.decimal_comma);
            const std::size_t len = take(text, ok);
            if (!ok) return false;
            if (len == 0 || len < word.size()) {
                rr_.stop_line = line_;
                return true;
            }
            for (int c = in_.peek(); c >= 0 && is_space(static_cast<char>(c)); c = in_.peek()) {
                if (c == '\n') ++line_;
                if (c == '\t' && line_ == rr_.first_data_line) tab_on_first_line = true;
                in_.get();
            }
            if (in_.peek() < 0) return true;
            word = read_word();
        }
    }

    bool table_without_column(char delimiter) {
        const char* what = delimiter == '\t' ? "tabs" : delimiter == ';' ? "semicolons" : "commas";
        message_ = "line " + std::to_string(line_) + " holds fields separated by " + what +
                   ": choose the column of the RR intervals with --column N or --column NAME";
        if (delimiter == ',') message_ += ", or give --decimal-comma if the comma is the decimal mark";
        return false;
    }

    // With a column: header lines, then one row per line.
    bool read_table() {
        if (stopped_) return true;
        line_ = 0;  // counted as each line is read
        const std::string& column = settings_.column;
        const bool by_name = column.find_first_not_of("0123456789") != std::string::npos;
        if (!by_name) rr_.column = std::stoi(column);
        bool in_data = false;
        for (;;) {
            if (in_.peek() < 0) break;
            ++line_;
            std::string line;
            if (!read_line(line)) {
                message_ = "line " + std::to_string(line_) + " is longer than " +
                           std::to_string(max_line_bytes) + " bytes: this is not a table of RR intervals";
                return false;
            }
            if (trim(line).empty()) continue;
            if (!in_data) {
                const char d = detect_delimiter(line, settings_.decimal_comma);
                const std::vector<std::string> fields = split(line, d);
                if (by_name) {
                    const int found = find_name(fields, trim(line), d);
                    if (found > 0) {
                        rr_.column = found;
                        rr_.delimiter = d;
                        in_data = true;
                        count_header(line);
                        continue;
                    }
                    if (count_header(line)) continue;
                    message_ = "no column named '" + column + "' in a header line at the start of the file";
                    return false;
                }
                if (!is_field_number(fields)) {
                    if (count_header(line)) continue;
                    rr_.stop_line = line_;
                    return true;
                }
                rr_.delimiter = d;
                in_data = true;
                rr_.first_data_line = line_;
            }
            const std::vector<std::string> fields = split(line, rr_.delimiter);
            if (static_cast<std::size_t>(rr_.column) > fields.size()) {
                rr_.stop_line = line_;
                return true;
            }
            const std::string text = as_point_decimal(fields[rr_.column - 1], settings_.decimal_comma);
            bool ok = true;
            const std::size_t len = take(text, ok);
            if (!ok) return false;
            if (len == 0 || len != text.size()) {
                if (len != 0) rr_.numbers.pop_back(), rr_.texts.resize(rr_.texts.size() - len);
                rr_.stop_line = line_;
                return true;
            }
        }
        if (by_name && !in_data) {
            message_ = "no column named '" + column + "' in a header line at the start of the file";
            return false;
        }
        return true;
    }

    bool is_field_number(const std::vector<std::string>& fields) const {
        if (static_cast<std::size_t>(rr_.column) > fields.size()) return false;
        const std::string t = as_point_decimal(fields[rr_.column - 1], settings_.decimal_comma);
        return !t.empty() && decimal_prefix_length(t) == t.size();
    }

    // 1-based index of the field named settings_.column (exactly, else
    // ignoring case); a line without delimiters is also one field whole.
    int find_name(const std::vector<std::string>& fields, std::string_view whole, char d) const {
        const std::string& name = settings_.column;
        for (std::size_t i = 0; i < fields.size(); ++i)
            if (fields[i] == name) return static_cast<int>(i) + 1;
        for (std::size_t i = 0; i < fields.size(); ++i)
            if (equal_ignoring_case(fields[i], name)) return static_cast<int>(i) + 1;
        if (d == ' ' && (unquote(whole) == name || equal_ignoring_case(unquote(whole), name))) return 1;
        return 0;
    }

    Source& in_;
    const ReadSettings& settings_;
    RRText& rr_;
    std::string& message_;
    int line_ = 1;
    bool stopped_ = false;
};

}  // namespace

ReadOutcome read_rr_text(std::string_view content, const ReadSettings& settings, RRText& rr,
                         std::string& message) {
    Source in(content);
    return Reader(in, settings, rr, message).run();
}

ReadOutcome read_rr_file(const std::string& name, const ReadSettings& settings, RRText& rr,
                         std::string& message) {
    std::FILE* file = std::fopen(name.c_str(), "rb");
    if (file == nullptr) {
        message = std::strerror(errno);
        return ReadOutcome::cannot_open;
    }
    ReadOutcome outcome;
    {
        Source in(file);
        outcome = Reader(in, settings, rr, message).run();
    }
    std::fclose(file);
    return outcome;
}

RRText rr_from_values(std::span<const double> values) {
    RRText rr;
    rr.texts.reserve(values.size() * 8);
    rr.numbers.reserve(values.size());
    char buffer[64];
    for (const double value : values) {
        const auto written = std::to_chars(buffer, buffer + sizeof buffer, value);
        if (written.ec != std::errc()) throw std::logic_error("interval not representable as text");
        const auto length = static_cast<std::size_t>(written.ptr - buffer);
        rr.numbers.push_back({rr.texts.size(), length, value});
        rr.texts.append(buffer, length);
    }
    return rr;
}

int resolution_decimals(const RRText& rr) {
    int best = 0;
    for (std::size_t i = 0; i < rr.numbers.size(); ++i) {
        const std::string_view t = rr.text(i);
        std::size_t k = 0;
        long fraction = 0;
        while (k < t.size() && t[k] != '.' && t[k] != 'e' && t[k] != 'E') ++k;
        if (k < t.size() && t[k] == '.') {
            ++k;
            while (k < t.size() && is_digit(t[k])) ++k, ++fraction;
        }
        long exponent = 0;
        if (k < t.size() && (t[k] == 'e' || t[k] == 'E')) {
            ++k;
            bool negative = false;
            if (t[k] == '+' || t[k] == '-') negative = t[k++] == '-';
            while (k < t.size() && is_digit(t[k])) {
                if (exponent < 1000) exponent = exponent * 10 + (t[k] - '0');
                ++k;
            }
            if (negative) exponent = -exponent;
        }
        best = static_cast<int>(std::clamp<long>(fraction - exponent, best, 9));
    }
    return best;
}

}  // namespace nongauss::clean
