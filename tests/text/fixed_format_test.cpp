// The fixed-point formatter against the C library's printf, which it replaces
// in the output files: every byte must agree.
#include "nongauss/fixed_format.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

namespace nongauss {
namespace {

std::string formatted(double v, int precision, int width) {
    char out[fixed_max_length(fixed_max_precision, 64) + 1];
    char* end = format_fixed(out, v, precision, width);
    return std::string(out, end);
}

std::string printed(double v, int precision, int width) {
    char out[fixed_max_length(fixed_max_precision, 64) + 1];
    const int n = std::snprintf(out, sizeof out, "%*.*f", width, precision, v);
    return std::string(out, static_cast<std::size_t>(n));
}

// Counts disagreements, reporting the first few.
struct Comparison {
    int failures = 0;
    void check(double v, int precision, int width) {
        const std::string got = formatted(v, precision, width);
        const std::string want = printed(v, precision, width);
        if (got != want && ++failures <= 5)
            ADD_FAILURE() << std::hexfloat << v << " %" << width << "." << precision << "f: got '" << got
                          << "', printf gives '" << want << "'";
    }
};

constexpr int precisions[] = {0, 1, 2, 6, 7, 11, 13, 17};

TEST(FixedFormat, SpecialValuesWidthsAndPadding) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    Comparison c;
    for (double v : {0.0, -0.0, inf, -inf, nan, -nan, DBL_MAX, -DBL_MAX, DBL_MIN, 4.9e-324, -4.9e-324,
                     0x1p53, 0x1p53 - 1, 0x1p64, 1.8446744073709552e13, 5e-7, -5e-7, 0.5, 1.5, 2.5, -2.5})
        for (int p : precisions)
            for (int w : {0, 1, 8, 12, 40}) c.check(v, p, w);
    EXPECT_EQ(c.failures, 0);

    // The shapes the output files rely on.
    EXPECT_EQ(formatted(-0.0, 6, 0), "-0.000000");
    EXPECT_EQ(formatted(-1e-9, 6, 0), "-0.000000");
    EXPECT_EQ(formatted(0.0078125, 6, 0), "0.007812");  // a tie goes to the even digit
    EXPECT_EQ(formatted(0.0234375, 6, 0), "0.023438");
    EXPECT_EQ(formatted(inf, 7, 8), "     inf");
    EXPECT_EQ(formatted(-nan, 11, 12), "        -nan");
}

TEST(FixedFormat, AgreesWithPrintfOverTheWholeRange) {
    std::mt19937_64 rng(20240601);
    Comparison c;
    // Any bit pattern: every exponent, subnormals, infinities and NaNs.
    for (int i = 0; i < 200000; ++i)
        c.check(std::bit_cast<double>(rng()), precisions[i % 8], i % 3 == 0 ? 0 : 12);
    // Magnitudes of every binary exponent that reaches the integer path.
    for (int e = -1080; e <= 70; ++e)
        for (int k = 0; k < 8; ++k) {
            const double v = std::ldexp(1.0 + static_cast<double>(rng() % 1000000) / 1e6, e);
            c.check(v, 6, 0);
            c.check(-v, 11, 12);
            c.check(v, 17, 0);
        }
    // The values of the output files: times, intervals in ms, increments.
    std::normal_distribution<double> increment(0.0, 40.0);
    for (int i = 0; i < 100000; ++i) {
        c.check(i * 0.25, 6, 0);
        c.check(850.0 + increment(rng), 6, 0);
        c.check(increment(rng), 6, 0);
        c.check(std::fabs(increment(rng)) / 100, 7, 8);
        c.check(std::fabs(increment(rng)) / 1000, 11, 12);
    }
    EXPECT_EQ(c.failures, 0);
}

TEST(FixedFormat, RoundsTiesAndNearTiesExactly) {
    std::mt19937_64 rng(7);
    Comparison c;
    // Values just around a half unit of the last digit, where a rounding that
    // is not exact would go the wrong way.
    for (int i = 0; i < 30000; ++i) {
        const int p = precisions[i % 8];
        const double k = static_cast<double>(static_cast<std::int64_t>(rng() % 2000000000ULL) - 1000000000);
        double v = (k + 0.5) / std::pow(10.0, p);
        for (int step = 0; step < 3; ++step) v = std::nextafter(v, -INFINITY);
        for (int step = 0; step < 6; ++step, v = std::nextafter(v, INFINITY)) c.check(v, p, 0);
    }
    // Odd multiples of 1/128 are exact ties at six decimals (x.yyyyyy5);
    // other multiples of 2^-k tie at other precisions.
    for (int k = 0; k < 40000; ++k) {
        const double tie = std::ldexp(2.0 * k + 1.0, -7);
        for (double whole : {0.0, 8.0, 1000.0, 86400.0, 1e9}) {
            c.check(whole + tie, 6, 0);
            c.check(-(whole + tie), 6, 0);
        }
    }
    // Just below a whole number: the decimals round up into the whole part.
    for (double whole : {1.0, 8.0, 9.0, 10.0, 1000.0, 86400.0, 1e9, 0x1p46})
        for (double below : {0.0, 4e-7, 5e-7, 6e-7, 4e-8, 5e-8, 5e-12}) {
            const double v = below == 0.0 ? std::nextafter(whole, 0.0) : whole - below;
            for (int p : {6, 7, 11}) {
                c.check(v, p, 0);
                c.check(-v, p, 0);
            }
        }
    // Exact binary fractions: true ties at the last digit, both parities.
    for (int n = 0; n < 70; n += 3)
        for (int m = -3000; m <= 3000; ++m) {
            const double v = std::ldexp(static_cast<double>(m), -n);
            c.check(v, 0, 0);
            c.check(v, 6, 0);
            c.check(v, 7, 8);
            c.check(v, 11, 12);
        }
    EXPECT_EQ(c.failures, 0);
}

}  // namespace
}  // namespace nongauss
