#include "driver/options.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <vector>

#include "nongauss/number_text.hpp"

namespace nongauss {
namespace {

struct Parsed {
    bool ok;
    Settings s;
    Names names;
};

Parsed parse(std::vector<const char*> words) {
    words.insert(words.begin(), "nongauss");
    Parsed p{};
    p.ok = parse_command_line(static_cast<int>(words.size()), words.data(), p.s, p.names) ==
           CommandLine::analyse;
    return p;
}

TEST(Options, DefaultsAndNames) {
    const Parsed p = parse({"rec.txt"});
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.s.interpolation, Interpolation::spline);
    EXPECT_EQ(p.s.degree, 3);
    EXPECT_EQ(fit_coefficients(p.s), 4);
    EXPECT_EQ(p.s.scale, 25.0);
    EXPECT_EQ(p.s.fit, FitMethod::normal_equations);
    EXPECT_EQ(p.s.nbins, 100);
    EXPECT_EQ(p.s.moment_order, 0.25);
    EXPECT_EQ(p.s.pdf_divisor, 1.0);
    EXPECT_EQ(p.s.dt, 0.25);
    EXPECT_FALSE(p.s.standardized_ts);
    EXPECT_EQ(p.names.ts_name, "rec_TS.txt");
    EXPECT_EQ(p.names.pdf_name, "rec_PDF.txt");
    EXPECT_EQ(program_name(), "nongauss");
}

TEST(Options, NameDerivationUsesTheLastDotOfTheFinalComponent) {
    EXPECT_EQ(derive_names("rec.txt").base_name, "rec");
    EXPECT_EQ(derive_names("rec.2.txt").base_name, "rec.2");
    EXPECT_EQ(derive_names("S01_2024.01.05.txt").base_name, "S01_2024.01.05");
    EXPECT_EQ(derive_names("../rec.txt").ts_name, "../rec_TS.txt");
    EXPECT_EQ(derive_names("./data/rec.txt").base_name, "./data/rec");
    EXPECT_EQ(derive_names("data.d/x").pdf_name, "data.d/x_PDF.txt");  // no dot in the component
    EXPECT_EQ(derive_names("data/.hidden").base_name, "data/.hidden");  // a leading dot is kept
    EXPECT_EQ(derive_names(".rec.txt").base_name, ".rec");
    EXPECT_EQ(derive_names("rec").ts_name, "rec_TS.txt");
    const std::string long_name(400, 'a');
    EXPECT_EQ(derive_names(long_name + ".txt").ts_name, long_name + "_TS.txt");
}

TEST(Options, DoubleDashEndsTheOptionsAndLongWordsAskForHelpOrVersion) {
    const Parsed p = parse({"-s", "50", "--", "-1.txt"});
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.s.scale, 50.0);
    EXPECT_EQ(p.s.interpolation, Interpolation::spline);  // -1.txt is the input, not an option
    EXPECT_EQ(p.names.base_name, "-1");
    EXPECT_FALSE(parse({"--"}).ok);  // nothing to read after it
    const auto outcome = [](std::vector<const char*> words) {
        words.insert(words.begin(), "nongauss");
        Settings s;
        Names n;
        return parse_command_line(static_cast<int>(words.size()), words.data(), s, n);
    };
    EXPECT_EQ(outcome({"--help"}), CommandLine::help);
    EXPECT_EQ(outcome({"-v", "--version", "rec.txt"}), CommandLine::version);
    EXPECT_EQ(outcome({"--", "--help"}), CommandLine::analyse);  // a file of that name
    EXPECT_EQ(outcome({"--helpme", "rec.txt"}), CommandLine::usage_error);
}

TEST(Options, LimitsAndConversions) {
    EXPECT_EQ(parse({"-s", "1", "f"}).s.scale, 2.0);
    EXPECT_EQ(parse({"-s", "2", "f"}).s.scale, 2.0);
    EXPECT_EQ(parse({"-s", "abc", "f"}).s.scale, 2.0);
    EXPECT_EQ(parse({"-t", "0.001", "f"}).s.dt, 0.01);
    EXPECT_EQ(parse({"-m", "-3", "f"}).s.fit, FitMethod::normal_equations);
    EXPECT_EQ(parse({"-m", "0", "f"}).s.fit, FitMethod::normal_equations);
    EXPECT_EQ(parse({"-m", "2", "f"}).s.fit, FitMethod::svd);
    EXPECT_EQ(parse({"-m", "7", "f"}).s.fit, FitMethod::svd);
    EXPECT_EQ(parse({"-n", "5", "f"}).s.nbins, 10);
    EXPECT_EQ(parse({"-r", "0", "f"}).s.pdf_divisor, 1.0);
    EXPECT_EQ(parse({"-q", "-2", "f"}).s.moment_order, -2.0);  // clamped later, not here
    EXPECT_EQ(fit_coefficients(parse({"-d", "0", "f"}).s), 1);
    EXPECT_EQ(fit_coefficients(parse({"-d", "-5", "f"}).s), -4);
    EXPECT_EQ(fit_coefficients(parse({"-d", "3", "f"}).s), 4);
    EXPECT_EQ(fit_coefficients(parse({"-d", "2147483647", "f"}).s), INT_MAX);
    EXPECT_EQ(fit_coefficients(parse({"-d", "99999999999999999999", "f"}).s), INT_MAX);
    EXPECT_EQ(fit_coefficients(parse({"-d", "-99999999999999999999", "f"}).s), INT_MIN + 1);
    EXPECT_EQ(parse({"-n", " +40x", "f"}).s.nbins, 40);
    EXPECT_EQ(parse({"-s", " 3.5e1sec", "f"}).s.scale, 35.0);
    // nan, inf and hexadecimal words do not begin a number: they convert to 0.
    EXPECT_EQ(parse({"-q", "nan", "f"}).s.moment_order, 0.0);
    EXPECT_EQ(parse({"-s", "inf", "f"}).s.scale, 2.0);
    EXPECT_EQ(parse({"-t", "0x10", "f"}).s.dt, 0.01);  // reads the 0 before the x
}

TEST(Options, OnlyTheSecondCharacterDecides) {
    const Parsed p = parse({"-verbose", "-s30", "40", "-1x", "-q", "-0.5", "-3", "-0", "-a", "f.txt"});
    ASSERT_TRUE(p.ok);
    EXPECT_TRUE(p.s.standardized_ts);
    EXPECT_EQ(p.s.scale, 40.0);
    EXPECT_EQ(p.s.moment_order, -0.5);
    EXPECT_EQ(p.s.interpolation, Interpolation::step);  // -3 then -0: the later one wins
}

TEST(Options, ParsingStopsAtTheFirstNonOptionAndTheInputIsTheLastWord) {
    Parsed p = parse({"a.txt", "b.txt"});
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.names.input_name, "b.txt");
    p = parse({"rec.txt", "-v"});
    ASSERT_TRUE(p.ok);
    EXPECT_FALSE(p.s.standardized_ts);
    EXPECT_EQ(p.names.input_name, "-v");
    EXPECT_EQ(p.names.ts_name, "-v_TS.txt");
    p = parse({"-s", "30"});  // the value is also the input name
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.names.input_name, "30");
}

TEST(Options, UsageErrors) {
    EXPECT_FALSE(parse({}).ok);
    for (const char* bad : {"-2", "-h", "-x", "-", "--scale"}) EXPECT_FALSE(parse({bad, "f"}).ok) << bad;
    EXPECT_FALSE(parse({"-s"}).ok);
    EXPECT_TRUE(parse({"f", "-s"}).ok);  // after the input, -s is a name
    EXPECT_FALSE(parse({"-v", "-t"}).ok);
}

TEST(Decimal, PlainDecimalSyntaxOnly) {
    EXPECT_EQ(decimal_prefix_length("812"), 3u);
    EXPECT_EQ(decimal_prefix_length("-1.5e-3x"), 7u);
    EXPECT_EQ(decimal_prefix_length(".5"), 2u);
    EXPECT_EQ(decimal_prefix_length("5."), 2u);
    EXPECT_EQ(decimal_prefix_length("1e"), 1u);
    EXPECT_EQ(decimal_prefix_length("1e+"), 1u);
    EXPECT_EQ(decimal_prefix_length("800ms"), 3u);
    EXPECT_EQ(decimal_prefix_length("0,812"), 1u);
    for (const char* none : {"", ".", "-", "+.", "e5", "nan", "inf", "Infinity", "x1"})
        EXPECT_EQ(decimal_prefix_length(none), 0u) << none;
    EXPECT_EQ(decimal_value("0.1"), 0.1);
    EXPECT_EQ(decimal_value("1e400"), HUGE_VAL);
    EXPECT_EQ(convert_int_option("12.9"), 12);
    EXPECT_EQ(convert_int_option("x"), 0);
}

}  // namespace
}  // namespace nongauss
