// End-to-end: a run on a doubtful series says so on standard error in lines
// beginning "Warning: ", and never changes standard output, the files or the
// exit status for it; a plainly wrong number (the spread of rounding noise,
// an estimator past its precision) is not printed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "support/run_tool.hpp"

namespace nongauss {
namespace {

using nongauss::testing::lines_of;
using nongauss::testing::parse_summary;
using nongauss::testing::run_tool;
using nongauss::testing::RunResult;
using nongauss::testing::ScratchDir;

using nongauss::testing::has;

std::vector<std::string> warning_lines(const std::string& err) {
    std::vector<std::string> found;
    for (const auto& line : lines_of(err))
        if (line.rfind("Warning: ", 0) == 0) found.push_back(line);
    return found;
}

// Stderr without its Warning lines.
std::string without_warnings(const std::string& err) {
    std::string kept;
    for (const auto& line : lines_of(err))
        if (line.rfind("Warning: ", 0) != 0) kept += line + "\n";
    return kept;
}

std::string example() { return testing::slurp(std::string(NONGAUSS_SOURCE_DIR) + "/examples/synthetic_4h.txt"); }

// The first n lines of a text.
std::string head(const std::string& text, int n) {
    std::size_t pos = 0;
    for (int i = 0; i < n && pos != std::string::npos; ++i) pos = text.find('\n', pos) + 1;
    return text.substr(0, pos);
}

TEST(Warnings, ACleanSeriesGetsNone) {
    ScratchDir dir;
    dir.write("ex.txt", example());
    const RunResult r = run_tool({"ex.txt"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(warning_lines(r.err).empty()) << r.err;
}

// The text stops reading at row 9000: the same result as the first 8999 rows
// alone (the warning changes nothing else), and it says so after the banner.
TEST(Warnings, ReadingThatStopsEarlyIsReportedAndChangesNothingElse) {
    ScratchDir dir;
    const std::string text = example();
    const std::string first = head(text, 8999);
    dir.write("cut.txt", first);
    const RunResult cut = run_tool({"cut.txt"}, dir.path());
    ASSERT_EQ(cut.status, 0);
    const std::string cut_ts = dir.read("cut_TS.txt"), cut_pdf = dir.read("cut_PDF.txt");
    for (const std::string& word : {std::string("NA"), std::string("\0", 1), std::string("# pause")}) {
        const std::string rest = text.substr(first.size());
        dir.write("cut.txt", first + word + "\n" + rest);
        const RunResult r = run_tool({"cut.txt"}, dir.path());
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, cut.out);
        EXPECT_EQ(dir.read("cut_TS.txt"), cut_ts);
        EXPECT_EQ(dir.read("cut_PDF.txt"), cut_pdf);
        const auto w = warning_lines(r.err);
        ASSERT_EQ(w.size(), 1u) << r.err;
        EXPECT_TRUE(has(w[0], "reading stopped at row 9000")) << w[0];
        EXPECT_TRUE(has(w[0], std::to_string(rest.size() + word.size() + 1) + " of " +
                                  std::to_string(text.size() + word.size() + 1) + " bytes"))
            << w[0];
        EXPECT_EQ(without_warnings(r.err), cut.err);
        // Right after the banner, before the first line of the analysis.
        EXPECT_LT(r.err.find("Warning: "), r.err.find("number of input data"));
    }
}

TEST(Warnings, ASpuriousFirstValueThatFlipsTheUnitAndGapsAreNamed) {
    ScratchDir dir;
    std::string text;
    for (int i = 0; i < 600; ++i) text += std::to_string(780 + (i * 37) % 60) + "\n";
    dir.write("spurious.txt", "95\n" + text);
    RunResult r = run_tool({"-s", "100000", "spurious.txt"}, dir.path());  // too short: nothing big is written
    auto w = warning_lines(r.err);
    ASSERT_EQ(w.size(), 2u) << r.err;
    EXPECT_TRUE(has(w[0], "first value, 95, makes the unit seconds")) << w[0];
    EXPECT_TRUE(has(w[1], "601 of 601 intervals lie outside 0.2-3.0 s")) << w[1];

    std::string gappy = text;
    gappy.insert(gappy.find('\n', 2000) + 1, "31250\n");  // a 31-s gap
    dir.write("gap.txt", gappy);
    r = run_tool({"gap.txt"}, dir.path());
    EXPECT_EQ(r.status, 0);
    w = warning_lines(r.err);
    ASSERT_EQ(w.size(), 1u) << r.err;
    EXPECT_TRUE(has(w[0], "1 of 601 intervals") && has(w[0], "the longest is 31.25 s at row ")) << w[0];
}

TEST(Warnings, ExportsThatStopOnTheirFirstRowsGetAHintAfterTheError) {
    ScratchDir dir;
    dir.write("header.txt", "RR_ms\n800\n810\n");
    RunResult r = run_tool({"header.txt"}, dir.path());
    EXPECT_EQ(r.status, 1);
    const std::string banner(48, '-');
    EXPECT_EQ(r.err.substr(0, r.err.find("Hint: ")),
              banner + "\nInput file: header.txt.\n" + banner + "\nNo data was read!\n");
    EXPECT_TRUE(has(r.err, "Hint: the first word that could not be read is \"RR_ms\" (row 1)")) << r.err;
    EXPECT_TRUE(has(r.err, "nongauss-clean --column")) << r.err;

    dir.write("comma.txt", "0,820\n0,815\n");  // decimal commas: 0 is read, then ",820"
    r = run_tool({"comma.txt"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(has(r.err, "Invalid RR interval at row 1: 0 (intervals must be positive and finite)\nHint: "))
        << r.err;
    EXPECT_TRUE(has(r.err, "\",820\" (row 2)")) << r.err;

    dir.write("csv.txt", "812;1.2\n790;2.0\n");  // one value, then a fatal report, then the hint
    r = run_tool({"csv.txt"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(has(r.err, "...now exiting to system...\nHint: the first word that could not be read is \";1.2\""))
        << r.err;

    dir.write("fine.txt", "800\n810\nNA\n");  // a later stop is a warning, not a hint
    r = run_tool({"fine.txt"}, dir.path());
    EXPECT_FALSE(has(r.err, "Hint: ")) << r.err;
}

// Tables of times and intervals, which the reader takes as one series row by
// row: each time-and-interval layout is named, with the column that holds the
// intervals, in a hint after an error or a warning on a run that completes;
// the unit's advice to remove the first line, which the layout explains, is
// left out. Two intervals to a line are a series and get neither.
TEST(Warnings, TimeAndIntervalTablesNameTheColumnThatReadsThem) {
    std::vector<int> ms;
    for (const auto& line : lines_of(testing::irregular_ms(600))) ms.push_back(std::stoi(line));
    const auto table = [&ms](bool time_first, bool at_end, const char* separator) {
        std::string text;
        long elapsed = 0;  // ms
        for (const int v : ms) {
            if (at_end) elapsed += v;
            char time[32];
            std::snprintf(time, sizeof time, "%ld.%03ld", elapsed / 1000, elapsed % 1000);
            text += time_first ? time + (separator + std::to_string(v)) : std::to_string(v) + separator + time;
            text += "\n";
            if (!at_end) elapsed += v;
        }
        return text;
    };
    std::string semicolons = table(true, true, ";");  // and decimal commas: "0" is read, then ",812;812" or the like
    std::replace(semicolons.begin(), semicolons.end(), '.', ',');
    std::string pairs;  // two intervals to a line
    for (std::size_t i = 0; i + 1 < ms.size(); i += 2) pairs += std::to_string(ms[i]) + " " + std::to_string(ms[i + 1]) + "\n";
    const struct {
        const char* name;
        std::string text;
        int status;
        const char* line;  // expected start of the warning or hint line ("" none)
        const char* column;
    } cases[] = {
        {"from0", table(true, false, "\t"), 1, "Hint: every line holds 2 numbers, and column 1 rises by the values of column 2", "--column 2"},
        {"ends", table(true, true, "\t"), 0, "Warning: every line holds 2 numbers, and column 1 rises by the values of column 2", "--column 2"},
        {"after", table(false, true, " "), 0, "Warning: every line holds 2 numbers, and column 2 rises by the values of column 1", "--column 1"},
        {"semicolons", semicolons, 1, "Hint: the first word that could not be read is \",",
         "--column 2 --decimal-comma"},
        {"pairs", pairs, 0, "", ""},
    };
    for (const auto& c : cases) {
        ScratchDir dir;
        dir.write("t.txt", c.text);
        const RunResult r = run_tool({"t.txt"}, dir.path());
        EXPECT_EQ(r.status, c.status) << c.name << r.err;
        EXPECT_FALSE(has(r.err, "Warning: the first value,")) << c.name << r.err;
        if (*c.line == '\0') {
            EXPECT_FALSE(has(r.err, "rises by the values")) << c.name << r.err;
            continue;
        }
        const auto at = r.err.find(c.line);
        ASSERT_NE(at, std::string::npos) << c.name << r.err;
        const std::string line = r.err.substr(at, r.err.find('\n', at) - at);
        EXPECT_TRUE(has(line, std::string("nongauss-clean ") + c.column)) << c.name << line;
        if (c.status == 1) {
            EXPECT_TRUE(has(r.err, "Invalid RR interval at row 1: 0 (intervals must be positive and finite)\nHint: "));
        }
    }
}

std::string constant(double value, int n) {
    char line[32];
    std::snprintf(line, sizeof line, "%.3f\n", value);
    std::string text;
    for (int i = 0; i < n; ++i) text += line;
    return text;
}

// A constant series has no variability: SD 0.0 and lambda 0.0000 whatever
// the unit, the resampling and the detrending, with a warning, and status 0.
TEST(Warnings, ConstantSeriesGiveSdAndLambdaZero) {
    ScratchDir dir;
    int runs = 0;
    for (int ms = 300; ms <= 1500; ms += 25) {
        for (const bool seconds : {false, true}) {
            dir.write("c.txt", constant(seconds ? ms / 1000.0 : ms, 3000));
            for (const std::vector<std::string>& options :
                 {std::vector<std::string>{"-0"}, {"-1"}, {"-3"}, {"-d", "0"}}) {
                auto args = options;
                args.push_back("c.txt");
                const RunResult r = run_tool(args, dir.path());
                ++runs;
                ASSERT_EQ(r.status, 0) << ms << " " << options[0];
                EXPECT_EQ(r.out, "c\t 25.0\t    0.0\t0.0000\n") << ms << " " << seconds << " " << options[0];
                EXPECT_TRUE(has(r.err, "Warning: the series has no variability at a scale of 25 s"))
                    << ms << " " << options[0];
                EXPECT_TRUE(has(r.err, "square of lambda = nan\n"));
            }
        }
    }
    EXPECT_EQ(runs, 392);
}

// A paced rhythm with one millisecond of jitter is quiet, not constant.
TEST(Warnings, AQuietRealSeriesIsNeverTakenForNoVariability) {
    ScratchDir dir;
    dir.write("paced.txt", testing::irregular_ms(20000, 799, 3));
    for (const char* scale : {"2", "25", "300"})
        for (const char* method : {"-0", "-1", "-3"}) {
            const RunResult r = run_tool({method, "-s", scale, "paced.txt"}, dir.path());
            EXPECT_EQ(r.status, 0);
            EXPECT_TRUE(warning_lines(r.err).empty()) << scale << method << r.err;
            EXPECT_GT(parse_summary(r.out).sd, 0.0) << r.out;
        }
}

// lambda as a function of q is continuous down to 0: below the order where
// the closed form can no longer be trusted the logarithmic moment takes over,
// with a warning; other orders are computed as before.
TEST(Warnings, OrdersNearZeroUseTheLogarithmicMoment) {
    ScratchDir dir;
    dir.write("ex.txt", example());
    const double at_zero = parse_summary(run_tool({"-q", "0", "ex.txt"}, dir.path()).out).lambda;
    ASSERT_GT(at_zero, 0.3);
    double previous = at_zero;
    for (int e = -300; e <= -3; e += (e < -20 ? 20 : 1)) {
        const std::string q = "1e" + std::to_string(e);
        const RunResult r = run_tool({"-q", q, "ex.txt"}, dir.path());
        ASSERT_EQ(r.status, 0);
        const double lambda = parse_summary(r.out).lambda;
        EXPECT_NEAR(lambda, at_zero, 1e-3) << q;
        EXPECT_LE(std::fabs(lambda - previous), 2e-4) << q;
        previous = lambda;
        const bool warned = has(r.err, "Warning: an order q of " + q.substr(0, 1));
        EXPECT_EQ(warned, e < -6) << q << r.err;
        const RunResult negative = run_tool({"-q", "-" + q, "ex.txt"}, dir.path());
        EXPECT_NEAR(parse_summary(negative.out).lambda, at_zero, 1e-3) << "-" << q;
    }
    EXPECT_TRUE(warning_lines(run_tool({"-q", "0", "ex.txt"}, dir.path()).err).empty());
}

}  // namespace
}  // namespace nongauss
