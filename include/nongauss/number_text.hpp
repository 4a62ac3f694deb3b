#pragma once

// The number syntax of the command line and of the input file: an optionally
// signed decimal number, digits with an optional fraction (at least one digit
// in all), and an optional exponent ('e' or 'E', optional sign, digits).
// Words such as nan, inf or infinity and hexadecimal forms do not begin a
// number. An exponent marker not followed by digits is not part of the number.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace nongauss {

/// Length of the longest prefix of `text` that is a decimal number as above
/// (0 when `text` does not begin with one). Nothing is skipped.
std::size_t decimal_prefix_length(std::string_view text);

/// Value of a text that `decimal_prefix_length` accepted whole, correctly
/// rounded; a magnitude beyond the double range gives +-inf, one below it 0 or
/// a subnormal, as the C library's conversion does.
double decimal_value(std::string_view number);

/// decimal_prefix below, out of line: any number of the syntax.
std::size_t decimal_prefix_full(std::string_view text, double& value);

/// True for the bytes that can continue a number: digits, '.', 'e', 'E',
/// '+' and '-'.
constexpr bool may_continue_number(char c) {
    return (c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-';
}

namespace decimal_detail {

/// The powers of ten that doubles hold exactly.
inline constexpr double exact_powers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                          1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                          1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

/// True when p[0..7] are all decimal digits, whose value then goes to
/// `value` (a little-endian load, three multiplications).
inline bool eight_digits(const char* p, std::uint64_t& value) {
    if constexpr (std::endian::native != std::endian::little) {
        return false;
    } else {
        std::uint64_t v = 0;
        std::memcpy(&v, p, sizeof v);
        if ((((v + 0x4646464646464646ULL) | (v - 0x3030303030303030ULL)) & 0x8080808080808080ULL) != 0) return false;
        v -= 0x3030303030303030ULL;
        v = v * 10 + (v >> 8);  // pairs of digits in every other byte
        value = (((v & 0x000000FF000000FFULL) * (100 + (1000000ULL << 32))) +
                 (((v >> 16) & 0x000000FF000000FFULL) * (1 + (10000ULL << 32)))) >>
                32;
        return true;
    }
}

/// The plain numbers of a recording: an optional sign, at most 15 digits in
/// all with an optional point among or after them, and then the end of the
/// text or a byte that cannot continue a number. Their digits form an integer
/// below 10^15 < 2^53 and the point stands for a division by an exact power of
/// ten: one correctly rounded operation, the value decimal_prefix_full gives.
/// The length of such a number, or 0 for any other text.
[[gnu::always_inline]] inline std::size_t plain_decimal_prefix(std::string_view text, double& value) {
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    const char* p = begin;
    bool negative = false;
    if (p < end && (*p == '-' || *p == '+')) negative = *p++ == '-';
    std::uint64_t digits = 0;  // wraps for long runs, which are not taken
    const char* const integer = p;
    while (p < end && static_cast<unsigned char>(*p - '0') < 10) digits = digits * 10 + static_cast<unsigned>(*p++ - '0');
    const long integer_digits = p - integer;
    long fraction_digits = 0;
    if (p < end && *p == '.') {
        const char* const fraction = ++p;
        std::uint64_t eight = 0;
        if (end - p >= 8 && eight_digits(p, eight)) {
            digits = digits * 100000000 + eight;
            p += 8;
        }
        while (p < end && static_cast<unsigned char>(*p - '0') < 10) digits = digits * 10 + static_cast<unsigned>(*p++ - '0');
        fraction_digits = p - fraction;
    }
    const long all = integer_digits + fraction_digits;
    if (all == 0 || all > 15 || (p < end && may_continue_number(*p))) return 0;
    const auto m = static_cast<double>(digits);
    const double v = m / exact_powers[fraction_digits];
    value = negative ? -v : v;
    return static_cast<std::size_t>(p - begin);
}

}  // namespace decimal_detail

/// decimal_prefix_length and decimal_value in one pass: the length of the
/// number at the start of `text` (0 when there is none) and, when it is not
/// 0, the number's value in `value`.
[[gnu::always_inline]] inline std::size_t decimal_prefix(std::string_view text, double& value) {
    const std::size_t plain = decimal_detail::plain_decimal_prefix(text, value);
    return plain != 0 ? plain : decimal_prefix_full(text, value);
}

/// Option value conversion for floating-point options: leading white space
/// skipped, then the longest decimal prefix; 0 when there is none.
double convert_double_option(const char* word);

/// Option value conversion for integer options: leading white space skipped,
/// an optionally signed run of decimal digits; 0 when there is none. Values
/// beyond the int range saturate at INT_MIN or INT_MAX.
int convert_int_option(const char* word);

/// True for the white space that separates numbers: space, tab, line feed,
/// vertical tab, form feed and carriage return.
constexpr bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

constexpr bool is_digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace nongauss
