// The "%.6f" of the output tables against the C library's printf: every byte
// must agree, on the fast path, on both sides of its limits and beyond them.
#include "text/six_decimals.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace nongauss {
namespace {

std::string printed(double v, int width = 0) {
    char out[fixed_max_length(6, 64) + 1];
    const int n = std::snprintf(out, sizeof out, "%*.6f", width, v);
    return std::string(out, static_cast<std::size_t>(n));
}

// Counts disagreements of format_six_decimals, and of format_fixed with
// precision 6 in a field of some width, with printf; reports the first few.
struct Comparison {
    int failures = 0;
    long checked = 0;
    void report(double v, const std::string& what, const std::string& got, const std::string& want) {
        if (got != want && ++failures <= 5)
            ADD_FAILURE() << std::hexfloat << v << " " << what << ": got '" << got << "', printf gives '" << want
                          << "'";
    }
    void check(double v) {
        ++checked;
        // The room the contract asks for, then guard bytes that must survive.
        char out[fixed_max_length(6) + 16];
        std::memset(out, '#', sizeof out);
        char* end = format_six_decimals(out, v);
        report(v, "%.6f", std::string(out, end), printed(v));
        for (std::size_t i = fixed_max_length(6); i < sizeof out; ++i)
            if (out[i] != '#' && ++failures <= 5) ADD_FAILURE() << std::hexfloat << v << " wrote past its room";
    }
    void check_widths(double v) {
        check(v);
        for (int width : {1, 9, 12, 20}) {
            char out[fixed_max_length(6, 64)];
            char* end = format_fixed(out, v, 6, width);
            report(v, "%" + std::to_string(width) + ".6f", std::string(out, end), printed(v, width));
        }
    }
};

double from_parts(std::uint64_t sign, std::uint64_t biased, std::uint64_t fraction) {
    return std::bit_cast<double>((sign << 63) | (biased << 52) | (fraction & ((std::uint64_t{1} << 52) - 1)));
}

TEST(SixDecimals, RandomBitPatternsOfEveryBinaryExponent) {
    std::mt19937_64 rng(20261208);
    Comparison c;
    // Every exponent, subnormals, infinities and NaNs included; more of the
    // exponents of the fast path and of those next to it.
    for (std::uint64_t biased = 0; biased < 2048; ++biased) {
        const bool near_fast = biased >= 1000 && biased < 1060;
        for (int i = 0; i < (near_fast ? 4000 : 40); ++i) c.check(from_parts(rng() & 1, biased, rng()));
        c.check_widths(from_parts(rng() & 1, biased, rng()));
        c.check(from_parts(0, biased, 0));
        c.check(from_parts(1, biased, ~std::uint64_t{0}));
    }
    EXPECT_GT(c.checked, 250000);
    EXPECT_EQ(c.failures, 0);
}

TEST(SixDecimals, EveryDecimalsPatternAndWholeParts) {
    Comparison c;
    // All millionths after a whole part (the nearest doubles, so also values
    // a hair either side of each).
    for (int d = 0; d < 1000000; ++d) c.check(12345.0 + d * 1e-6);
    // Whole parts of every count of digits, and the steps between counts,
    // positive and negative.
    for (std::uint64_t w = 0; w < 100000; ++w) c.check(static_cast<double>(w) + 0.25);
    for (double power = 1; power <= 1e8; power *= 10)
        for (double v : {power, std::nextafter(power, 0.0), std::nextafter(power, 1e9), power - 0.5, power + 0.5,
                         power - 5e-7, power - 4e-7, 2 * power, power / 2}) {
            c.check_widths(v);
            c.check_widths(-v);
        }
    for (int e = -12; e <= 26; ++e)
        for (double v : {std::ldexp(1.0, e), std::nextafter(std::ldexp(1.0, e), 0.0), std::ldexp(1.5, e)}) {
            c.check_widths(v);
            c.check_widths(-v);
        }
    EXPECT_EQ(c.failures, 0);
}

TEST(SixDecimals, TiesAndValuesNextToThem) {
    std::mt19937_64 rng(7);
    Comparison c;
    // Exact ties at six decimals are the odd multiples of 2^-7; a tie goes to
    // the even last digit. Each, and its neighbours, after whole parts of every
    // size up to 2^26.
    for (int n = 1; n < 256; n += 2) {
        const double tie = std::ldexp(n, -7);
        for (double whole : {0.0, 1.0, 7.0, 8.0, 9.0, 10.0, 99.0, 1000.0, 12345.0, 86400.0, 999999.0,
                             9999999.0, 67108862.0}) {
            const double v = whole + tie;
            for (double x : {v, std::nextafter(v, 0.0), std::nextafter(v, 1e300)}) {
                c.check(x);
                c.check(-x);
            }
        }
    }
    // Just around the half millionths of random decimals: a rounding that is
    // not exact would go the wrong way.
    for (int i = 0; i < 200000; ++i) {
        const int e = static_cast<int>(rng() % 38) - 12;
        const double scale = std::ldexp(1.0, e);
        const double millionths = std::floor(scale * (1.0 + static_cast<double>(rng() % 1000000) / 1e6) * 1e6);
        double v = (millionths + 0.5) / 1e6;
        for (int step = 0; step < 2; ++step) v = std::nextafter(v, 0.0);
        for (int step = 0; step < 5; ++step, v = std::nextafter(v, 1e300)) c.check((i & 1) ? -v : v);
    }
    EXPECT_EQ(c.failures, 0);
}

TEST(SixDecimals, LimitsOfTheFastPathAndRoundingIntoTheWholePart) {
    Comparison c;
    const double inf = std::numeric_limits<double>::infinity();
    // Both sides of the smallest and the largest magnitude of the fast path.
    for (double limit : {std::ldexp(1.0, -12), std::ldexp(1.0, 26)}) {
        double v = limit;
        for (int step = 0; step < 20; ++step) v = std::nextafter(v, 0.0);
        for (int step = 0; step < 40; ++step, v = std::nextafter(v, inf)) {
            c.check_widths(v);
            c.check_widths(-v);
        }
    }
    // Zeros, tiny values that round to 0 or to one millionth, and the rest.
    for (double v : {0.0, 1e-300, 4.9e-324, 4.9e-7, 5e-7, 5.0000001e-7, 1.4e-6, 0.000244140625}) {
        c.check_widths(v);
        c.check_widths(-v);
    }
    for (double v : {inf, std::numeric_limits<double>::quiet_NaN(), 1e300, 0x1p26 + 0.5, 0x1p53}) {
        c.check_widths(v);
        c.check_widths(-v);
    }
    EXPECT_EQ(c.failures, 0);

    // Decimals that round up to a million carry into the whole part, also
    // where that adds a digit or reaches the next power of two.
    const char* const carried[][2] = {{"0.9999996", "1.000000"},       {"-0.9999995", "-1.000000"},
                                      {"9.9999997", "10.000000"},      {"999.99999951", "1000.000000"},
                                      {"1023.9999999", "1024.000000"}, {"67108863.9999999", "67108864.000000"},
                                      {"-0.0000004", "-0.000000"},     {"0.0002441", "0.000244"}};
    for (const auto& [text, want] : carried) {
        char out[fixed_max_length(6)];
        const double v = std::strtod(text, nullptr);
        EXPECT_EQ(std::string(out, format_six_decimals(out, v)), want) << text;
    }
}

}  // namespace
}  // namespace nongauss
