// The conversion of accepted number texts: the same double as strtod, bit for
// bit, including results beyond the double range.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <random>
#include <string>

#include "nongauss/number_text.hpp"

namespace nongauss {
namespace {

// decimal_value and the one-pass decimal_prefix (also with text after the
// number) give strtod's value.
void expect_as_strtod(const std::string& text, int& failures) {
    const double want = std::strtod(text.c_str(), nullptr);
    const double got = decimal_value(text);
    double one_pass = -1.0;
    const std::size_t len = decimal_prefix(text + " 7", one_pass);
    const bool same = std::bit_cast<std::uint64_t>(got) == std::bit_cast<std::uint64_t>(want) &&
                      std::bit_cast<std::uint64_t>(one_pass) == std::bit_cast<std::uint64_t>(want) &&
                      len == text.size() && len == decimal_prefix_length(text + "e+x");
    if (!same && ++failures <= 5)
        ADD_FAILURE() << text << ": " << std::hexfloat << got << " and " << one_pass << " (length " << len
                      << "), strtod gives " << want;
}

TEST(DecimalValue, SameBitsAsStrtod) {
    int failures = 0;
    for (const char* text :
         {"0", "-0", "+0", "+812", "-.5", ".5", "5.", "+.5e1", "1E-5", "8.125e2", "1e400", "-1e400", "1e-400",
          "-1e-400", "4.9e-324", "2.4703282292062327e-324", "2.4703282292062328e-324",
          "1.7976931348623157e308", "1.7976931348623158e308", "1.7976931348623159e308",
          "2.2250738585072011e-308", "0.000000000000000000000000000001e30", "123456789012345678901234567890",
          "9007199254740993", "9007199254740992", "0.69531250", "00000000000000000000000000001.5",
          "1234567890123456789", "12345678901234567890", "0.1e23", "1e22", "1e23", "123e-22", "1e-23", "0e999",
          "-0.0e-5", "4503599627370497.5", "0.000000000000000000000000000000000000000000000000000000000003"})
        expect_as_strtod(text, failures);

    // Random texts of the accepted syntax: sign, digits with a point
    // anywhere, exponents that reach past both ends of the range.
    std::mt19937_64 rng(99);
    for (int i = 0; i < 200000; ++i) {
        std::string s;
        const auto sign = rng() % 3;
        if (sign == 1) s += '-';
        if (sign == 2) s += '+';
        const int digits = 1 + static_cast<int>(rng() % (i % 2 == 0 ? 25 : 12));
        const int point = static_cast<int>(rng() % (digits + 2));
        for (int k = 0; k < digits; ++k) {
            if (k == point) s += '.';
            s += static_cast<char>('0' + rng() % 10);
        }
        if (rng() % 3 == 0) {
            s += 'e';
            const auto esign = rng() % 3;
            if (esign == 1) s += '-';
            if (esign == 2) s += '+';
            s += std::to_string(rng() % (rng() % 2 == 0 ? 30 : 400));
        }
        expect_as_strtod(s, failures);
    }
    EXPECT_EQ(failures, 0);
}

// The short path taken for plain numbers gives what the full conversion
// gives, or declines: the same length and bits for every text, whatever
// follows the number (an exponent, a second point, a sign, digits beyond the
// fifteenth, other bytes, the end of the text).
TEST(DecimalValue, PlainNumbersTakeTheShortPathToTheSameValue) {
    std::mt19937_64 rng(2718);
    const std::string followers[] = {"", " ", "\n", "\r\n", "e", "E5", "e-3", ".", ".5", "+", "-1", "x", ",5",
                                     "0", "7", "\t9", "\xC3\xA9"};
    int failures = 0;
    long plain = 0;
    for (int i = 0; i < 300000; ++i) {
        std::string s;
        const auto sign = rng() % 4;
        if (sign == 1) s += '-';
        if (sign == 2) s += '+';
        const int digits = static_cast<int>(rng() % 19);  // 0 to 18 digits
        const int point = static_cast<int>(rng() % (digits + 3));  // beyond the digits: none
        for (int k = 0; k < digits; ++k) {
            if (k == point) s += '.';
            s += static_cast<char>('0' + (rng() % 3 == 0 ? 0 : rng() % 10));
        }
        if (point == digits) s += '.';
        s += followers[rng() % std::size(followers)];
        double full = -1.0;
        const std::size_t full_len = decimal_prefix_full(s, full);
        double value = -2.0;
        const std::size_t short_len = decimal_detail::plain_decimal_prefix(s, value);
        if (short_len != 0) ++plain;
        double both = -3.0;
        const std::size_t len = decimal_prefix(s, both);
        const bool same = len == full_len && (full_len == 0 || std::bit_cast<std::uint64_t>(both) ==
                                                                   std::bit_cast<std::uint64_t>(full)) &&
                          (short_len == 0 || (short_len == full_len && std::bit_cast<std::uint64_t>(value) ==
                                                                           std::bit_cast<std::uint64_t>(full)));
        if (!same && ++failures <= 5)
            ADD_FAILURE() << '"' << s << "\": full " << full_len << " " << full << ", short " << short_len << " "
                          << value << ", decimal_prefix " << len << " " << both;
    }
    EXPECT_EQ(failures, 0);
    EXPECT_GT(plain, 100000);  // the short path was taken often enough to be tested
}

}  // namespace
}  // namespace nongauss
