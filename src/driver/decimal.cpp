#include "driver/decimal.hpp"

#include <charconv>
#include <climits>
#include <cstdlib>
#include <string>

namespace nongauss {

std::size_t decimal_prefix_length(std::string_view text) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < n && is_digit(text[i])) ++i, ++digits;
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && is_digit(text[i])) ++i, ++digits;
    }
    if (digits == 0) return 0;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < n && (text[j] == '+' || text[j] == '-')) ++j;
        if (j < n && is_digit(text[j])) {
            while (j < n && is_digit(text[j])) ++j;
            i = j;
        }
    }
    return i;
}

double decimal_value(std::string_view number) {
    // std::from_chars is correctly rounded, as strtod is, and needs no copy.
    // It takes no '+' and leaves out-of-range results to the caller: those
    // (and anything it does not take whole) go to strtod, which saturates to
    // +-inf or underflows to 0 or a subnormal. The text has been checked to be
    // plain decimal, so none of strtod's other forms (hexadecimal, inf, nan)
    // can be reached.
    std::string_view digits = number;
    if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
    double value = 0.0;
    const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (r.ec == std::errc() && r.ptr == digits.data() + digits.size()) return value;
    const std::string copy(number);
    return std::strtod(copy.c_str(), nullptr);
}

double convert_double_option(const char* word) {
    std::string_view text(word);
    std::size_t start = 0;
    while (start < text.size() && is_space(text[start])) ++start;
    text.remove_prefix(start);
    const std::size_t len = decimal_prefix_length(text);
    return len == 0 ? 0.0 : decimal_value(text.substr(0, len));
}

int convert_int_option(const char* word) {
    const char* p = word;
    while (is_space(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = (*p++ == '-');
    long long value = 0;
    const long long limit = static_cast<long long>(INT_MAX) + 1;
    while (is_digit(*p)) {
        if (value <= limit) value = value * 10 + (*p - '0');
        ++p;
    }
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

}  // namespace nongauss
