#include "driver/fixed_format.hpp"

#include <bit>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace nongauss {

namespace {

__extension__ using uint128 = unsigned __int128;

constexpr std::uint64_t powers_of_ten[] = {
    1ULL,
    10ULL,
    100ULL,
    1000ULL,
    10000ULL,
    100000ULL,
    1000000ULL,
    10000000ULL,
    100000000ULL,
    1000000000ULL,
    10000000000ULL,
    100000000000ULL,
    1000000000000ULL,
    10000000000000ULL,
    100000000000000ULL,
    1000000000000000ULL,
    10000000000000000ULL,
    100000000000000000ULL,
};
static_assert(sizeof(powers_of_ten) / sizeof(powers_of_ten[0]) == fixed_max_precision + 1);

// "00" "01" ... "99".
struct DigitPairs {
    char text[200];
    constexpr DigitPairs() : text() {
        for (int i = 0; i < 100; ++i) {
            text[2 * i] = static_cast<char>('0' + i / 10);
            text[2 * i + 1] = static_cast<char>('0' + i % 10);
        }
    }
};
constexpr DigitPairs digit_pairs;

// Writes the `count` lowest decimal digits of v (zero-padded) ending at `end`.
void put_digits(char* end, std::uint64_t v, int count) {
    while (count >= 2) {
        const auto pair = static_cast<unsigned>(v % 100);
        v /= 100;
        end -= 2;
        std::memcpy(end, digit_pairs.text + 2 * pair, 2);
        count -= 2;
    }
    if (count == 1) *--end = static_cast<char>('0' + v % 10);
}

int digit_count(std::uint64_t v) {
    int n = 1;
    while (v >= 10000) {
        v /= 10000;
        n += 4;
    }
    return n + static_cast<int>(v >= 10) + static_cast<int>(v >= 100) + static_cast<int>(v >= 1000);
}

// Right-aligns [out, end) in a field of `width` characters.
char* pad_left(char* out, char* end, int width) {
    const auto len = static_cast<int>(end - out);
    if (len >= width) return end;
    std::memmove(out + (width - len), out, static_cast<std::size_t>(len));
    std::memset(out, ' ', static_cast<std::size_t>(width - len));
    return out + width;
}

// Exact path for |value| < 2^53 (and finite): value = m * 2^-shift, so
// value * 10^precision = m * 10^precision / 2^shift, rounded half to even on
// 128-bit integers. False when the rounded result does not fit 64 bits.
bool integer_path(std::uint64_t bits, int precision, std::uint64_t& scaled) {
    const auto biased = static_cast<int>((bits >> 52) & 0x7ff);
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    if (biased > 1075) return false;  // |value| >= 2^53 (or not finite)
    const std::uint64_t mantissa = biased == 0 ? fraction : (fraction | (std::uint64_t{1} << 52));
    const int shift = biased == 0 ? 1074 : 1075 - biased;  // >= 0
    const uint128 n = static_cast<uint128>(mantissa) * powers_of_ten[precision];  // < 2^110
    uint128 q = 0;
    if (shift == 0) {
        q = n;
    } else if (shift < 128) {
        q = n >> shift;
        const uint128 rest = n - (q << shift);
        const uint128 half = static_cast<uint128>(1) << (shift - 1);
        // Branch-free: the comparisons are unpredictable.
        q += static_cast<unsigned>(rest > half) | (static_cast<unsigned>(rest == half) & static_cast<unsigned>(q & 1));
    }  // else n < 2^110 <= half: rounds to 0
    if ((q >> 64) != 0) return false;
    scaled = static_cast<std::uint64_t>(q);
    return true;
}

// The formatting with the precision known at compile time where it matters
// (divisions by a constant are multiplications).
template <int Fixed>
char* format_with(char* out, double value, int runtime_precision, int width) {
    const int precision = Fixed >= 0 ? Fixed : runtime_precision;
    const auto bits = std::bit_cast<std::uint64_t>(value);
    const bool negative = (bits >> 63) != 0;
    std::uint64_t scaled = 0;
    if (integer_path(bits, precision, scaled)) {
        char* p = out;
        *p = '-';  // kept for negative values, also -0.0 and values that round to 0
        p += static_cast<int>(negative);
        const std::uint64_t unit = powers_of_ten[precision];
        const std::uint64_t whole = scaled / unit;
        const int whole_digits = digit_count(whole);
        p += whole_digits;
        put_digits(p, whole, whole_digits);
        if (precision > 0) {
            *p++ = '.';
            p += precision;
            put_digits(p, scaled % unit, precision);
        }
        return pad_left(out, p, width);
    }
    if ((bits & 0x7ff0000000000000ULL) != 0x7ff0000000000000ULL) {  // finite
        const auto r = std::to_chars(out, out + fixed_max_length(precision), value,
                                     std::chars_format::fixed, precision);
        if (r.ec == std::errc()) return pad_left(out, r.ptr, width);
    }
    char text[fixed_max_length(fixed_max_precision, 64) + 1];
    const int n = std::snprintf(text, sizeof text, "%*.*f", width, precision, value);
    const std::size_t len = n < 0 ? 0 : static_cast<std::size_t>(n);
    std::memcpy(out, text, len);
    return out + len;
}

}  // namespace

char* format_fixed(char* out, double value, int precision, int width) {
    switch (precision) {
        case 6: return format_with<6>(out, value, precision, width);
        case 7: return format_with<7>(out, value, precision, width);
        case 11: return format_with<11>(out, value, precision, width);
        default: return format_with<-1>(out, value, precision, width);
    }
}

}  // namespace nongauss
