#pragma once

// Fixed-point formatting of doubles, byte for byte as printf's "%.Pf" and
// "%W.Pf" print them (C locale, rounding to nearest), but several times faster:
// the output files hold about a million such fields for a 24-hour recording.

#include <cstddef>

namespace nongauss {

/// Largest precision the formatter accepts.
inline constexpr int fixed_max_precision = 17;

/// Characters that format_fixed may write for a precision and a width: the
/// longest finite double has 309 integer digits, plus sign and point.
constexpr std::size_t fixed_max_length(int precision, int width = 0) {
    const std::size_t plain = 311 + static_cast<std::size_t>(precision);
    return static_cast<std::size_t>(width) > plain ? static_cast<std::size_t>(width) : plain;
}

/// Writes `value` at `out` exactly as snprintf with "%{width}.{precision}f"
/// would (no terminating NUL) and returns the end of what was written.
/// 0 <= precision <= fixed_max_precision, 0 <= width <= 64; the space at
/// `out` must hold fixed_max_length(precision, width) characters.
///
/// The exact decimal expansion of the double is rounded half to even, as the C
/// library does: |value| below 2^53 with at most 19 significant digits goes
/// through exact integer arithmetic (with precision 6, magnitudes from 2^-12
/// to 2^26 through the branch-free path of six_decimals.hpp), other finite
/// values through std::to_chars (also exact), infinities and NaNs through
/// snprintf itself.
char* format_fixed(char* out, double value, int precision, int width = 0);

}  // namespace nongauss
