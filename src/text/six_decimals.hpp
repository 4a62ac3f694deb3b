#pragma once

// "%.6f" of a double, byte for byte as printf prints it (the exact decimal
// expansion rounded half to even), inline for the writers of the output
// tables, whose rows are three such fields.
//
// Magnitudes from 2^-12 to below 2^26 take a path without data-dependent
// branches (on x86-64, with the SSE2 instructions every such processor has):
// the fraction as a 64-bit fixed-point number times 10^6 gives the decimals
// and the remainder that rounds them; the whole part and the decimals become
// 16 digits at once in a vector register (each 8-digit number split into
// halves, quarters and digits), and two 8-byte stores write them. Everything else (zeros, smaller and larger
// magnitudes, infinities, NaNs) goes through format_fixed.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__)
#include <emmintrin.h>
#endif

#include "nongauss/fixed_format.hpp"

namespace nongauss {

namespace six_decimals_detail {

#if defined(__x86_64__)
inline constexpr bool fast_path = true;
#else
inline constexpr bool fast_path = false;
#endif

/// The fast path takes the magnitudes 2^-12 <= |value| < 2^26: biased binary
/// exponents from fast_lowest to below fast_limit.
inline constexpr int fast_lowest = 1023 - 12;
inline constexpr int fast_limit = 1023 + 26;

inline bool takes_fast_path(std::uint64_t bits) {
    const auto biased = static_cast<int>((bits >> 52) & 0x7ff);
    return fast_path && biased >= fast_lowest && biased < fast_limit;
}

/// For k = biased exponent - fast_lowest: the count of digits of the whole
/// part w of such a value is (entry + w) >> 32. Values of one exponent have
/// whole parts in [2^(k-12), 2^(k-11)] (0 or 1 when k < 12; the top one
/// after rounding up), where the count steps up at most once, at a power of
/// ten p: the entry is (digits below p) 2^32 + 2^32 - p, which w >= p carries
/// into the count (p = 2^32 where there is no step).
struct DigitCounts {
    std::uint64_t entry[fast_limit - fast_lowest];
    constexpr DigitCounts() : entry() {
        for (int k = 0; k < fast_limit - fast_lowest; ++k) {
            const std::uint64_t low = k < 12 ? 0 : std::uint64_t{1} << (k - 12);
            const std::uint64_t high = k < 12 ? 1 : std::uint64_t{1} << (k - 11);
            std::uint64_t power = 10;
            std::uint64_t digits = 1;
            while (power <= low) {
                power *= 10;
                ++digits;
            }
            const std::uint64_t step = power <= high ? power : std::uint64_t{1} << 32;
            entry[k] = (digits << 32) + ((std::uint64_t{1} << 32) - step);
        }
    }
};
inline constexpr DigitCounts digit_counts;

#if defined(__x86_64__)

/// The digits of w < 10^8 and d < 10^8, eight each and zero-padded, as
/// characters: w's in the low 8 bytes, d's in the high 8 (the first digit of
/// each lowest). The first byte of d's digits becomes '.' where d < 10^7.
inline __m128i sixteen_digits(std::uint32_t w, std::uint32_t d) {
    // 64-bit lanes w and d; each into 32-bit lanes of its first four digits
    // (x / 10^4, by the multiplier 0xd1b71759 / 2^45, exact below 2^32) and
    // its last four.
    const __m128i x = _mm_shuffle_epi32(_mm_cvtsi64_si128(static_cast<long long>(w | (std::uint64_t{d} << 32))), 0x50);
    const __m128i q1 = _mm_srli_epi64(_mm_mul_epu32(x, _mm_set1_epi32(static_cast<int>(0xd1b71759u))), 45);
    const __m128i r1 = _mm_sub_epi32(x, _mm_mul_epu32(q1, _mm_set1_epi32(10000)));
    const __m128i y = _mm_or_si128(q1, _mm_slli_epi64(r1, 32));
    // 32-bit lanes (< 10^4) into 16-bit lanes of two digits: y / 100 is
    // y * 5243 >> 19 below 43699.
    const __m128i q2 = _mm_srli_epi16(_mm_mulhi_epu16(y, _mm_set1_epi32(5243)), 3);
    const __m128i r2 = _mm_sub_epi16(y, _mm_mullo_epi16(q2, _mm_set1_epi32(100)));
    const __m128i z = _mm_or_si128(q2, _mm_slli_epi32(r2, 16));
    // 16-bit lanes (< 100) into bytes: z / 10 is z * 6554 >> 16 below 100,
    // and q | (z - 10 q) << 8 is z 2^8 - 2559 q.
    const __m128i q3 = _mm_mulhi_epu16(z, _mm_set1_epi16(6554));
    // (The factor is hidden from the compiler, which would otherwise spend
    // five instructions on the product instead of one.)
    __m128i factor = _mm_set1_epi16(2559);
    __asm__("" : "+x"(factor));
    const __m128i digits = _mm_sub_epi16(_mm_slli_epi16(z, 8), _mm_mullo_epi16(q3, factor));
    return _mm_or_si128(digits, _mm_set_epi64x(0x303030303030302e, 0x3030303030303030));
}

/// The fast path, for a value that takes_fast_path. Writes the text (16
/// characters at most) at `out` and one byte past its end, and returns the
/// end of the text.
inline char* six_decimals_fast(char* out, std::uint64_t bits) {
    // value = mantissa 2^(k - 64) with 0 <= k = biased - fast_lowest < 38: the
    // whole part is mantissa >> (64 - k), the fraction (nothing below 2^-64)
    // is the 64-bit fixed-point number mantissa << k modulo 2^64.
    const int k = static_cast<int>((bits >> 52) & 0x7ff) - fast_lowest;
    const std::uint64_t mantissa = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
    __extension__ using uint128 = unsigned __int128;
    auto whole = static_cast<std::uint32_t>((mantissa >> 1) >> (63 - k));  // < 2^26
    const std::uint64_t fraction = mantissa << k;
    // fraction 10^6 = decimals 2^64 + rest rounds up when rest is above half
    // (2^63), or at half when decimals is odd. rest is a multiple of 2^6 (as
    // 10^6 is), so rest | 1 is rest + 1.
    const uint128 product = static_cast<uint128>(fraction) * 1000000;
    auto decimals = static_cast<std::uint32_t>(product >> 64);
    const auto rest = static_cast<std::uint64_t>(product);
    decimals += static_cast<std::uint32_t>((rest | (decimals & 1)) > (std::uint64_t{1} << 63));
    if (decimals == 1000000) [[unlikely]] {  // rounds up to the next whole number
        ++whole;
        decimals = 0;
    }

    char* p = out;
    *p = '-';  // kept for negative values, also those that round to 0
    p += static_cast<int>(bits >> 63);
    const std::uint64_t digits = (digit_counts.entry[k] + whole) >> 32;
    // decimals * 10 has the eight digits "0dddddd0": the first becomes the
    // point, the last lies past the end.
    const __m128i text = sixteen_digits(whole, decimals * 10);
    const std::uint64_t whole_text = static_cast<std::uint64_t>(_mm_cvtsi128_si64(text)) >> (8 * (8 - digits));
    std::memcpy(p, &whole_text, 8);
    p += digits;
    _mm_storeh_pi(reinterpret_cast<__m64*>(p), _mm_castsi128_ps(text));
    return p + 7;
}

#endif

}  // namespace six_decimals_detail

/// Writes `value` at `out` exactly as snprintf with "%.6f" would (no
/// terminating NUL) and returns the end of what was written. The space at
/// `out` must hold fixed_max_length(6) characters; bytes past the returned end
/// may be overwritten.
inline char* format_six_decimals(char* out, double value) {
    const auto bits = std::bit_cast<std::uint64_t>(value);
#if defined(__x86_64__)
    if (six_decimals_detail::takes_fast_path(bits)) return six_decimals_detail::six_decimals_fast(out, bits);
#endif
    return format_fixed(out, value, 6);
}

}  // namespace nongauss
