#include "nongauss/fixed_format.hpp"

#include "text/six_decimals.hpp"

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
inline void put_digits(char* end, std::uint64_t v, int count) {
    while (count >= 2) {
        const auto pair = static_cast<unsigned>(v % 100);
        v /= 100;
        end -= 2;
        std::memcpy(end, digit_pairs.text + 2 * pair, 2);
        count -= 2;
    }
    if (count == 1) *--end = static_cast<char>('0' + v % 10);
}

inline void put_pair(char* at, unsigned pair) { std::memcpy(at, digit_pairs.text + 2 * pair, 2); }

// Writes v (< 10000) in decimal at p; returns the end.
inline char* put_small(char* p, unsigned v) {
    if (v < 100) {
        if (v < 10) {
            *p = static_cast<char>('0' + v);
            return p + 1;
        }
        put_pair(p, v);
        return p + 2;
    }
    if (v < 1000) {
        *p = static_cast<char>('0' + v / 100);
        put_pair(p + 1, v % 100);
        return p + 3;
    }
    put_pair(p, v / 100);
    put_pair(p + 2, v % 100);
    return p + 4;
}

// Writes v in decimal at p; returns the end.
inline char* put_whole(char* p, std::uint64_t v) {
    if (v < 10000) return put_small(p, static_cast<unsigned>(v));
    if (v < 100000000) {  // the high part, then four digits
        const auto w = static_cast<unsigned>(v);
        p = put_small(p, w / 10000);
        put_pair(p, w / 100 % 100);
        put_pair(p + 2, w % 100);
        return p + 4;
    }
    int n = 9;
    for (std::uint64_t rest = v / 1000000000; rest != 0; rest /= 10) ++n;
    put_digits(p + n, v, n);
    return p + n;
}

// Writes the `count` digits of a fraction (v < 10^count) at p.
template <int Count>
inline void put_fraction(char* p, std::uint64_t v) {
    if constexpr (Count == 6) {
        const auto w = static_cast<unsigned>(v);
        put_pair(p, w / 10000);
        put_pair(p + 2, w / 100 % 100);
        put_pair(p + 4, w % 100);
    } else {
        put_digits(p + Count, v, Count);
    }
}

// Right-aligns [out, end) in a field of `width` characters.
char* pad_left(char* out, char* end, int width) {
    const auto len = static_cast<int>(end - out);
    if (len >= width) return end;
    std::memmove(out + (width - len), out, static_cast<std::size_t>(len));
    std::memset(out, ' ', static_cast<std::size_t>(width - len));
    return out + width;
}

// Exact path for |value| < 2^53: value = m * 2^-shift, so value * 10^precision
// = m * 10^precision / 2^shift, rounded half to even on 128-bit integers.
// False when |value| >= 2^53 (or it is not finite), or when the rounded result
// does not fit 64 bits.
inline bool integer_path(std::uint64_t bits, int precision, std::uint64_t& scaled) {
    const auto biased = static_cast<int>((bits >> 52) & 0x7ff);
    if (biased > 1075) return false;
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    const std::uint64_t mantissa = biased == 0 ? fraction : (fraction | (std::uint64_t{1} << 52));
    const int shift = biased == 0 ? 1074 : 1075 - biased;  // >= 0
    const uint128 n = static_cast<uint128>(mantissa) * powers_of_ten[precision];  // < 2^110
    uint128 q = n;
    if (shift >= 128) {
        q = 0;  // n < 2^110 is below half a unit
    } else if (shift > 0) {
        // n = q 2^shift + r: adding half - 1, plus 1 when q is odd, carries
        // into q exactly when r > half, or r == half and q is odd.
        const uint128 half = static_cast<uint128>(1) << (shift - 1);
        q = (n + (half - 1) + ((n >> shift) & 1)) >> shift;
    }
    if ((q >> 64) != 0) return false;
    scaled = static_cast<std::uint64_t>(q);
    return true;
}

// The formatting with the precision known at compile time where it matters
// (divisions by a constant are multiplications).
// Six decimals of a value 8 <= |value| < 2^47 in 64-bit integers (the
// magnitudes from 2^-12 to 2^26 take the faster path of six_decimals.hpp): with
// value = m / 2^s (6 <= s <= 49), the whole part is m >> s and the decimals
// are the rest f / 2^s times 10^6 = f * 15625 / 2^(s - 6), which stays below
// 2^63, rounded half to even. False for other values.
inline bool six_decimals(std::uint64_t bits, std::uint64_t& whole, std::uint64_t& decimals) {
    const auto biased = static_cast<int>((bits >> 52) & 0x7ff);
    const int shift = 1075 - biased;
    if (shift < 6 || shift > 49) return false;
    const std::uint64_t mantissa = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
    whole = mantissa >> shift;
    const std::uint64_t n = (mantissa & ((std::uint64_t{1} << shift) - 1)) * 15625;
    const int t = shift - 6;
    std::uint64_t q = n;
    if (t > 0) {
        const std::uint64_t half = std::uint64_t{1} << (t - 1);
        q = (n + (half - 1) + ((n >> t) & 1)) >> t;
    }
    const bool carry = q == 1000000;
    whole += static_cast<std::uint64_t>(carry);
    decimals = carry ? 0 : q;
    return true;
}

template <int Fixed>
char* format_with(char* out, double value, int runtime_precision, int width) {
    const int precision = Fixed >= 0 ? Fixed : runtime_precision;
    const auto bits = std::bit_cast<std::uint64_t>(value);
    if constexpr (Fixed == 6) {
#if defined(__x86_64__)
        if (six_decimals_detail::takes_fast_path(bits)) {
            char* const end = six_decimals_detail::six_decimals_fast(out, bits);
            return width > 0 ? pad_left(out, end, width) : end;
        }
#endif
        std::uint64_t whole = 0;
        std::uint64_t decimals = 0;
        if (six_decimals(bits, whole, decimals)) {
            char* p = out;
            *p = '-';
            p += static_cast<int>(bits >> 63);
            p = put_whole(p, whole);
            *p++ = '.';
            put_fraction<6>(p, decimals);
            p += 6;
            return width > 0 ? pad_left(out, p, width) : p;
        }
    }
    std::uint64_t scaled = 0;
    if (integer_path(bits, precision, scaled)) {
        char* p = out;
        *p = '-';  // kept for negative values, also -0.0 and values that round to 0
        p += static_cast<int>(bits >> 63);
        const std::uint64_t unit = powers_of_ten[precision];
        const std::uint64_t whole = scaled / unit;
        p = put_whole(p, whole);
        if (precision > 0) {
            *p++ = '.';
            if constexpr (Fixed >= 0)
                put_fraction<Fixed>(p, scaled - whole * unit);
            else
                put_digits(p + precision, scaled - whole * unit, precision);
            p += precision;
        }
        return width > 0 ? pad_left(out, p, width) : p;
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
