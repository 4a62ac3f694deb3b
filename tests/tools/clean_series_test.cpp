// Reading the input text and writing the cleaned series (nongauss-clean).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <numeric>
#include <sstream>
#include <string>
#include <vector>

#include "clean/cleaned_series.hpp"
#include "clean/filters.hpp"
#include "nongauss/clean.hpp"
#include "tools/synthetic_rr.hpp"

namespace nongauss::clean {
namespace {

RRText scanned(const std::string& content, const ReadSettings& settings = {}) {
    RRText rr;
    std::string message;
    const ReadOutcome outcome = read_rr_text(content, settings, rr, message);
    EXPECT_EQ(outcome, ReadOutcome::ok) << message;
    return rr;
}

// The message of an input that is refused.
std::string refused(const std::string& content, const ReadSettings& settings = {}) {
    RRText rr;
    std::string message;
    EXPECT_EQ(read_rr_text(content, settings, rr, message), ReadOutcome::bad_input) << content;
    return message;
}

std::vector<std::string> texts(const RRText& rr) {
    std::vector<std::string> t;
    for (std::size_t i = 0; i < rr.numbers.size(); ++i) t.emplace_back(rr.text(i));
    return t;
}

// Sum of the numbers of a text in units of 10^-decimals, exactly.
long long units_of(const std::string& text, int decimals) {
    long long total = 0;
    std::istringstream in(text);
    for (std::string word; in >> word;) {
        const std::size_t point = word.find('.');
        std::string digits = word;
        int have = 0;
        if (point != std::string::npos) {
            digits = word.substr(0, point) + word.substr(point + 1);
            have = static_cast<int>(word.size() - point - 1);
        }
        EXPECT_LE(have, decimals) << word;
        long long v = std::stoll(digits);
        for (int k = have; k < decimals; ++k) v *= 10;
        total += v;
    }
    return total;
}

TEST(CleanRead, NumbersKeepTheirTextAndReadingStopsAtText) {
    const RRText rr = scanned("  0.8125\r\n+812\t8.125e2 -0.5\n\n1.\n.5e1x 9\n");
    EXPECT_EQ(texts(rr), (std::vector<std::string>{"0.8125", "+812", "8.125e2", "-0.5", "1.", ".5e1"}));
    EXPECT_EQ(rr.numbers[2].value, 812.5);
    EXPECT_EQ(rr.numbers[5].value, 5.0);
    EXPECT_EQ(rr.stop_line, 5);  // "x" ends reading on line 5

    EXPECT_EQ(scanned("800\n810\n").stop_line, 0);
    EXPECT_EQ(texts(scanned("800ms\n810\n")), std::vector<std::string>{"800"});
    EXPECT_EQ(texts(scanned("1e\n")), std::vector<std::string>{"1"});
    for (const char* none : {"", " \r\n", "nan\n", "inf\n", "x1p3\n", "-\n", ".\n", "\xef\xbb\n800\n"}) {
        const RRText rr2 = scanned(none);
        EXPECT_TRUE(rr2.numbers.empty()) << none;
    }
    EXPECT_EQ(texts(scanned("0x1p3\n")), std::vector<std::string>{"0"});
}

TEST(CleanRead, HeaderLinesAndAByteOrderMarkAreSkippedAndCounted) {
    for (const char* text : {"RR (ms)\r\n800\r\n810\r\n", "\xef\xbb\xbfRR (ms)\n\n800\n810\n",
                             "\xef\xbb\xbf# export\nRR (ms)\n800 810\n"}) {
        const RRText rr = scanned(text);
        EXPECT_EQ(texts(rr), (std::vector<std::string>{"800", "810"})) << text;
        EXPECT_EQ(rr.last_header, "RR (ms)");
        EXPECT_GE(rr.header_lines, 1);
        EXPECT_EQ(rr.stop_line, 0);
    }
    EXPECT_EQ(scanned("\xef\xbb\xbf" "800\n").numbers.size(), 1u);
    // Control characters are no header: reading stops there, as at any text.
    const RRText binary = scanned("RR\x01\n800\n");
    EXPECT_TRUE(binary.numbers.empty());
    EXPECT_EQ(binary.stop_line, 1);
    // At most max_header_lines of them.
    std::string many;
    for (int i = 0; i <= max_header_lines; ++i) many += "note\n";
    EXPECT_TRUE(scanned(many + "800\n").numbers.empty());
    EXPECT_EQ(scanned(many.substr(5) + "800\n").header_lines, max_header_lines);
}

TEST(CleanRead, ATableNeedsAColumnAndTheFirstLineCountsItsNumbers) {
    EXPECT_NE(refused("time,RR\n0.0,820\n").find("line 2 holds fields separated by commas: choose the "
                                                   "column of the RR intervals with --column N or "
                                                   "--column NAME, or give --decimal-comma"),
              std::string::npos);
    EXPECT_NE(refused("0,0;820\n").find("semicolons"), std::string::npos);
    EXPECT_NE(refused("0.0\t820\n0.8\t810\n").find("line 1 holds fields separated by tabs"), std::string::npos);
    // Blank-separated numbers are a series; how many stand on the first line is told.
    const RRText rr = scanned("800  810\t\n\n820\t830\n");
    EXPECT_EQ(rr.numbers.size(), 4u);
    EXPECT_EQ(rr.first_line_numbers, 2);
    EXPECT_EQ(scanned("RR\n800\n810\n").first_line_numbers, 1);
    EXPECT_EQ(scanned("RR\n800\n810\n").first_data_line, 2);
}

TEST(CleanRead, DecimalCommaBecomesAPoint) {
    ReadSettings comma;
    comma.decimal_comma = true;
    const RRText rr = scanned("RR (s)\n0,820\n0,8125\n1\n", comma);
    EXPECT_EQ(texts(rr), (std::vector<std::string>{"0.820", "0.8125", "1"}));
    EXPECT_EQ(rr.numbers[1].value, 0.8125);
    EXPECT_EQ(resolution_decimals(rr), 4);
    // A point is no decimal mark then: reading stops before it.
    const RRText point = scanned("0,8\n0.9\n", comma);
    EXPECT_EQ(texts(point), std::vector<std::string>{"0.8"});
    EXPECT_EQ(point.stop_line, 2);
}

TEST(CleanRead, AColumnByNumberOrNameWithTheDelimiterDetected) {
    struct Case { const char* text; const char* column; bool comma; char delimiter; };
    const std::vector<Case> cases = {
        {"time,RR_ms\n0.000,800\n0.800,810\n", "2", false, ','},
        {"time,RR_ms\r\n0.000,800\r\n0.800,810\r\n", "rr_ms", false, ','},
        {"Zeit;RR (ms)\n0,000;800\n0,800;810\n", "RR (ms)", true, ';'},
        {"0.000\t800\n0.800\t810\n", "2", false, '\t'},
        {"  time    RR\n   0.000   800\n   0.800   810\n", "RR", false, ' '},
        {"\"stamp\",\"RR\"\n\"2024-01-05, 10:00\",\"800\"\n\"2024-01-05, 10:01\",\"810\"\n", "RR", false, ','},
        {"RR (ms)\n800\n810\n", "RR (ms)", false, ' '},
        {"\xef\xbb\xbf" "800\n810\n", "1", false, ' '},
    };
    for (const Case& c : cases) {
        ReadSettings settings;
        settings.column = c.column;
        settings.decimal_comma = c.comma;
        const RRText rr = scanned(c.text, settings);
        EXPECT_EQ(texts(rr), (std::vector<std::string>{"800", "810"})) << c.text;
        EXPECT_EQ(rr.delimiter, c.delimiter) << c.text;
        EXPECT_EQ(rr.stop_line, 0) << c.text;
    }
    ReadSettings second;
    second.column = "2";
    // Reading stops at the first row whose field is not one whole number.
    for (const char* bad : {"0,800\n1,\n2,810\n", "0,800\n1,810ms\n", "0,800\n1\n2,810\n", "0,800\n1,nan\n"}) {
        const RRText rr = scanned(bad, second);
        EXPECT_EQ(texts(rr), std::vector<std::string>{"800"}) << bad;
        EXPECT_EQ(rr.stop_line, 2) << bad;
    }
    ReadSettings named;
    named.column = "RR";
    EXPECT_EQ(refused("time,rri\n0,800\n", named),
              "no column named 'RR' in a header line at the start of the file");
}

TEST(CleanRead, MemoryIsBoundedByLineAndNumberLengths) {
    ReadSettings first;
    first.column = "1";
    EXPECT_NE(refused(std::string(max_line_bytes + 1, '8') + "\n", first).find("line 1 is longer than"),
              std::string::npos);
    EXPECT_NE(refused("800\n" + std::string(max_number_chars + 1, '8') + "\n").find(
                  "line 2: a number of more than 1000 characters"),
              std::string::npos);
    // A number of the longest length is read; a long run of junk ends reading.
    EXPECT_EQ(scanned("800 " + std::string(max_number_chars, '8')).numbers.size(), 2u);
    EXPECT_TRUE(scanned(std::string(1 << 20, '\0')).numbers.empty());
}

TEST(CleanRead, ResolutionFollowsTheFinestNumber) {
    EXPECT_EQ(resolution_decimals(scanned("800 812 790")), 0);
    EXPECT_EQ(resolution_decimals(scanned("0.75781250 0.8")), 8);
    EXPECT_EQ(resolution_decimals(scanned("8.125e-1 0.8")), 4);
    EXPECT_EQ(resolution_decimals(scanned("8.12e2 1E+3")), 0);
    EXPECT_EQ(resolution_decimals(scanned("8.125e2 1E+3")), 1);
    EXPECT_EQ(resolution_decimals(scanned("0.123456789012 0.8")), 9);
    EXPECT_EQ(resolution_decimals(scanned("")), 0);
}

TEST(CleanReplace, StretchIsFilledWithBeatsOfTheNeighboursLengthSummingToItsTime) {
    struct Case { double before, after, total; int decimals; std::size_t beats; };
    const std::vector<Case> cases = {
        {0.8, 0.8, 30.0, 3, 38},       // a 30-s gap: 37.5 beats round to 38
        {0.8, 1.0, 1.8, 6, 2},         // an ectopic pair
        {800, 820, 1620, 0, 2},        // the same in milliseconds
        {0.8, 0.8, 0.8, 3, 1},         // a split interval comes back as one
        {0.8, 0.8, 0.3, 3, 1},         // too short for a beat: one interval, the same time
        {0.6, 1.2, 9.0, 4, 10},        // a trend between unlike neighbours
    };
    for (const Case& c : cases) {
        const auto lengths = fill_stretch(c.before, c.after, c.total, c.decimals);
        ASSERT_EQ(lengths.size(), c.beats) << c.total;
        const double unit = std::pow(10.0, c.decimals);
        EXPECT_EQ(std::accumulate(lengths.begin(), lengths.end(), 0LL), std::llround(c.total * unit));
        for (std::size_t k = 0; k < lengths.size(); ++k) {
            EXPECT_GT(lengths[k], 0);
            if (k > 0 && c.before < c.after) {
                EXPECT_GE(lengths[k], lengths[k - 1]);
            }
        }
    }
    EXPECT_TRUE(fill_stretch(0.8, 0.8, 0.0, 3).empty());
    EXPECT_TRUE(fill_stretch(0.8, 0.8, -1.0, 3).empty());
    EXPECT_TRUE(fill_stretch(0.8, 0.8, HUGE_VAL, 3).empty());
    // Coarse resolution: never an interval of length zero.
    for (const long long l : fill_stretch(0.3, 0.3, 2.0, 0)) EXPECT_GT(l, 0);
}

std::string as_text(const std::vector<double>& seconds) {
    std::string t;
    char buf[32];
    for (const double s : seconds) {
        std::snprintf(buf, sizeof buf, "%.4f\n", s);
        t += buf;
    }
    return t;
}

TEST(CleanReplace, DeleteLeavesOutFlaggedLinesAndReplaceKeepsTheTotalTime) {
    const auto synthetic = nongauss::testing::rr_with_artefacts(2000, 3);
    const std::string input = as_text(synthetic.seconds);
    const RRText rr = scanned(input);
    std::vector<double> seconds;
    for (const auto& n : rr.numbers) seconds.push_back(n.value);
    const auto flags = flag_intervals(seconds, FilterSettings{});

    std::string kept_lines;
    for (std::size_t i = 0; i < flags.size(); ++i)
        if (flags[i] == IntervalFlag::kept) kept_lines += std::string(rr.text(i)) + "\n";

    OutputCounts counts;
    EXPECT_EQ(cleaned_text(rr, flags, false, 4, counts), kept_lines);
    EXPECT_EQ(counts.kept, synthetic.seconds.size() - 13);
    EXPECT_EQ(counts.interpolated, 0u);

    const std::string replaced = cleaned_text(rr, flags, true, 4, counts);
    EXPECT_EQ(units_of(replaced, 4), units_of(input, 4));  // to the last decimal
    EXPECT_EQ(counts.stretches, 6u);
    EXPECT_EQ(counts.unfilled, 0u);
    // A 30-s gap, a 7-s gap and six double beats become some 58 ordinary beats.
    EXPECT_NEAR(static_cast<double>(counts.interpolated), 30 / 0.8 + 7 / 0.8 + 12 + 2 + 1 + 2, 2);
    // Nothing the replacement wrote would itself be flagged.
    const RRText again = scanned(replaced);
    std::vector<double> again_s;
    for (const auto& n : again.numbers) again_s.push_back(n.value);
    for (const IntervalFlag f : flag_intervals(again_s, FilterSettings{})) EXPECT_EQ(f, IntervalFlag::kept);
}

TEST(CleanReplace, StretchesAtTheEndsUseTheOneNeighbourTheyHave) {
    const RRText rr = scanned("5.0\n0.5\n0.6\n9.0\n");
    const std::vector<IntervalFlag> flags = {IntervalFlag::out_of_range, IntervalFlag::kept, IntervalFlag::kept, IntervalFlag::out_of_range};
    OutputCounts counts;
    EXPECT_EQ(cleaned_text(rr, flags, true, 1, counts),
              "0.5\n0.5\n0.5\n0.5\n0.5\n0.5\n0.5\n0.5\n0.5\n0.5\n0.5\n0.6\n"
              "0.6\n0.6\n0.6\n0.6\n0.6\n0.6\n0.6\n0.6\n0.6\n0.6\n0.6\n0.6\n0.6\n0.6\n0.6\n");
    EXPECT_EQ(counts.stretches, 2u);
    EXPECT_EQ(counts.interpolated, 25u);

    // Nothing kept: nothing to interpolate from.
    const std::vector<IntervalFlag> all = {IntervalFlag::out_of_range, IntervalFlag::out_of_range, IntervalFlag::out_of_range, IntervalFlag::out_of_range};
    EXPECT_EQ(cleaned_text(rr, all, true, 1, counts), "");
    EXPECT_EQ(counts.unfilled, 4u);
}

}  // namespace
}  // namespace nongauss::clean
