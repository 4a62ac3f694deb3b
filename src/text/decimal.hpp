#pragma once

// The number syntax of the command line and of the input file: an optionally
// signed decimal number, digits with an optional fraction (at least one digit
// in all), and an optional exponent ('e' or 'E', optional sign, digits).
// Words such as nan, inf or infinity and hexadecimal forms do not begin a
// number. An exponent marker not followed by digits is not part of the number.

#include <cstddef>
#include <string_view>

namespace nongauss {

/// Length of the longest prefix of `text` that is a decimal number as above
/// (0 when `text` does not begin with one). Nothing is skipped.
std::size_t decimal_prefix_length(std::string_view text);

/// Value of a text that `decimal_prefix_length` accepted whole, correctly
/// rounded; a magnitude beyond the double range gives +-inf, one below it 0 or
/// a subnormal, as the C library's conversion does.
double decimal_value(std::string_view number);

/// decimal_prefix_length and decimal_value in one pass: the length of the
/// number at the start of `text` (0 when there is none) and, when it is not
/// 0, the number's value in `value`.
std::size_t decimal_prefix(std::string_view text, double& value);

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
