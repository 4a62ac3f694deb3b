#include "nongauss/number_text.hpp"

#include <bit>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
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

std::size_t decimal_prefix_full(std::string_view text, double& value) {
    using decimal_detail::eight_digits;
    using decimal_detail::exact_powers;
    // One pass that measures the number as decimal_prefix_length does and
    // gathers its digits. When they form an integer below 2^53 and the
    // decimal exponent is at most 22 in size, the value is that integer
    // multiplied or divided by an exact power of ten: one correctly rounded
    // operation on exact operands, which is the correctly rounded value of the
    // text, as strtod gives it. Anything else goes to decimal_value.
    std::size_t i = 0;
    const std::size_t n = text.size();
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::uint64_t mantissa = 0;
    int significant = 0;  // digits gathered into mantissa, leading zeros aside
    long exponent = 0;    // decimal exponent of mantissa's last digit
    bool exact = true;    // every digit went into mantissa
    const std::size_t start = i;
    while (i < n && text[i] == '0') ++i;  // leading zeros
    for (; i < n && is_digit(text[i]); ++i) {
        if (significant < 19) {
            mantissa = mantissa * 10 + static_cast<std::uint64_t>(text[i] - '0');
            ++significant;
        } else {
            exact = false;
        }
    }
    std::size_t digits = i - start;
    if (i < n && text[i] == '.') {
        const std::size_t fraction = ++i;
        if (significant == 0)
            for (; i < n && text[i] == '0'; ++i) --exponent;  // zeros after the point, before any other digit
        // Eight digits at a time while they fit the mantissa (the common
        // "0.69531250" has exactly eight), then one at a time.
        std::uint64_t eight = 0;
        while (significant <= 11 && n - i >= 8 && eight_digits(text.data() + i, eight)) {
            mantissa = mantissa * 100000000 + eight;
            significant += 8;  // the first of them is not a leading zero
            exponent -= 8;
            i += 8;
        }
        for (; i < n && is_digit(text[i]); ++i) {
            if (significant < 19) {
                mantissa = mantissa * 10 + static_cast<std::uint64_t>(text[i] - '0');
                ++significant;
                --exponent;
            } else {
                exact = false;
            }
        }
        digits += i - fraction;
    }
    if (digits == 0) return 0;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        bool exponent_negative = false;
        if (j < n && (text[j] == '+' || text[j] == '-')) exponent_negative = text[j++] == '-';
        if (j < n && is_digit(text[j])) {
            long e = 0;
            while (j < n && is_digit(text[j])) {
                if (e < 100000) e = e * 10 + (text[j] - '0');
                ++j;
            }
            exponent += exponent_negative ? -e : e;
            i = j;
        }
    }
    if (exact && mantissa < (std::uint64_t{1} << 53) && exponent >= -22 && exponent <= 22) {
        const auto m = static_cast<double>(mantissa);
        const double v = exponent < 0 ? m / exact_powers[-exponent] : m * exact_powers[exponent];
        value = negative ? -v : v;
    } else {
        value = decimal_value(text.substr(0, i));
    }
    return i;
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
