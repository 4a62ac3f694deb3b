#include "driver/decimal.hpp"

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
    // strtod is correctly rounded and saturates to +-inf / underflows to 0 or a
    // subnormal; the text has been checked to be plain decimal, so none of its
    // other forms (hexadecimal, inf, nan) can be reached.
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
