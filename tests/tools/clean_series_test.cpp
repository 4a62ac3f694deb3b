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
#include "clean/rr_text.hpp"
#include "tools/synthetic_rr.hpp"

namespace nongauss::clean {
namespace {

RRText scanned(const std::string& content) {
    RRText rr;
    rr.content = content;
    scan_numbers(rr);
    return rr;
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
    EXPECT_EQ(texts(scanned("812,5\n")), std::vector<std::string>{"812"});
    EXPECT_EQ(texts(scanned("1e\n")), std::vector<std::string>{"1"});
    for (const char* none : {"", " \r\n", "RR\n800\n", "nan\n", "inf\n", "x1p3\n", "-\n", ".\n"}) {
        const RRText rr2 = scanned(none);
        EXPECT_TRUE(rr2.numbers.empty()) << none;
    }
    EXPECT_EQ(scanned("RR\n800\n").stop_line, 1);
    EXPECT_EQ(texts(scanned("0x1p3\n")), std::vector<std::string>{"0"});
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
    const RRText rr = scanned(as_text(synthetic.seconds));
    std::vector<double> seconds;
    for (const auto& n : rr.numbers) seconds.push_back(n.value);
    const auto flags = flag_intervals(seconds, FilterSettings{});

    std::string kept_lines;
    for (std::size_t i = 0; i < flags.size(); ++i)
        if (flags[i] == Flag::kept) kept_lines += std::string(rr.text(i)) + "\n";

    OutputCounts counts;
    EXPECT_EQ(cleaned_text(rr, flags, false, 4, counts), kept_lines);
    EXPECT_EQ(counts.kept, synthetic.seconds.size() - 13);
    EXPECT_EQ(counts.interpolated, 0u);

    const std::string replaced = cleaned_text(rr, flags, true, 4, counts);
    EXPECT_EQ(units_of(replaced, 4), units_of(rr.content, 4));  // to the last decimal
    EXPECT_EQ(counts.stretches, 6u);
    EXPECT_EQ(counts.unfilled, 0u);
    // A 30-s gap, a 7-s gap and six double beats become some 58 ordinary beats.
    EXPECT_NEAR(static_cast<double>(counts.interpolated), 30 / 0.8 + 7 / 0.8 + 12 + 2 + 1 + 2, 2);
    // Nothing the replacement wrote would itself be flagged.
    const RRText again = scanned(replaced);
    std::vector<double> again_s;
    for (const auto& n : again.numbers) again_s.push_back(n.value);
    for (const Flag f : flag_intervals(again_s, FilterSettings{})) EXPECT_EQ(f, Flag::kept);
}

TEST(CleanReplace, StretchesAtTheEndsUseTheOneNeighbourTheyHave) {
    const RRText rr = scanned("5.0\n0.5\n0.6\n9.0\n");
    const std::vector<Flag> flags = {Flag::range, Flag::kept, Flag::kept, Flag::range};
    OutputCounts counts;
    EXPECT_EQ(cleaned_text(rr, flags, true, 1, counts),
              "0.5\n0.5\n0.5\n0.5\n0.5\n0.5\n0.5\n0.5\n0.5\n0.5\n0.5\n0.6\n"
              "0.6\n0.6\n0.6\n0.6\n0.6\n0.6\n0.6\n0.6\n0.6\n0.6\n0.6\n0.6\n0.6\n0.6\n0.6\n");
    EXPECT_EQ(counts.stretches, 2u);
    EXPECT_EQ(counts.interpolated, 25u);

    // Nothing kept: nothing to interpolate from.
    const std::vector<Flag> all = {Flag::range, Flag::range, Flag::range, Flag::range};
    EXPECT_EQ(cleaned_text(rr, all, true, 1, counts), "");
    EXPECT_EQ(counts.unfilled, 4u);
}

}  // namespace
}  // namespace nongauss::clean
