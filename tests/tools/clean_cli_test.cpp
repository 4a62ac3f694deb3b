// End-to-end runs of nongauss-clean: command line, messages, exit statuses,
// the cleaned series and the report.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/run_tool.hpp"
#include "tools/synthetic_rr.hpp"

namespace nongauss {
namespace {

namespace fs = std::filesystem;
using nongauss::testing::RunResult;
using nongauss::testing::ScratchDir;

RunResult clean(const std::vector<std::string>& args, const fs::path& dir) {
    return nongauss::testing::run_tool(args, dir, NONGAUSS_CLEAN_EXE);
}

const std::string hint = "usage: nongauss-clean [OPTIONS] INPUT (nongauss-clean --help for the options)\n";

// One line per interval, in seconds with three decimals or in whole milliseconds.
std::string rr_text(const std::vector<double>& seconds, bool ms, const char* eol = "\n") {
    std::string t;
    char buf[32];
    for (const double s : seconds) {
        if (ms) std::snprintf(buf, sizeof buf, "%.0f%s", s * 1000, eol);
        else std::snprintf(buf, sizeof buf, "%.3f%s", s, eol);
        t += buf;
    }
    return t;
}

bool ends_with(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Sum of a series written with three decimals, in thousandths, exactly.
long long thousandths(const std::string& text) {
    long long total = 0;
    for (const std::string& line : lines_of(text)) {
        const std::size_t point = line.find('.');
        EXPECT_EQ(line.size() - point, 4u) << line;
        total += std::stoll(line.substr(0, point)) * 1000 + std::stoll(line.substr(point + 1));
    }
    return total;
}

TEST(CleanCli, HelpAndVersionGoToStandardOutput) {
    ScratchDir dir;
    for (const char* word : {"--help", "-h"}) {
        const auto r = clean({"-w", "5", word, "absent.txt"}, dir.path());
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out.rfind("usage: nongauss-clean [OPTIONS] INPUT\n", 0), 0u);
        EXPECT_NE(r.out.find("--replace"), std::string::npos);
        EXPECT_EQ(r.err, "");
    }
    for (const char* word : {"--version", "-V"}) {
        const auto r = clean({word}, dir.path());
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out.rfind("nongauss-clean ", 0), 0u);
        EXPECT_TRUE(r.out.size() > 16 && r.out[15] >= '0' && r.out[15] <= '9') << r.out;
        EXPECT_EQ(r.err, "");
    }
}

TEST(CleanCli, UsageErrorsSayWhyWithStatus1) {
    ScratchDir dir;
    dir.write("rec.txt", "0.8\n0.8\n");
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, "no input file"},
        {{"rec.txt", "other.txt"}, "more than one input file: rec.txt and other.txt"},
        {{"--bogus", "rec.txt"}, "unknown option --bogus"},
        {{"rec.txt", "-o"}, "option -o needs a value"},
        {{"--replace=yes", "rec.txt"}, "option --replace takes no value"},
        {{"-w", "40", "rec.txt"}, "invalid value for -w: '40' (an odd number of beats, at least 3)"},
        {{"--window=1", "rec.txt"}, "invalid value for --window: '1' (an odd number of beats, at least 3)"},
        {{"-p", "20%", "rec.txt"}, "invalid value for -p: '20%' (a positive number)"},
        {{"--max", "nan", "rec.txt"}, "invalid value for --max: 'nan' (a positive number)"},
        {{"--min", "-1", "rec.txt"}, "invalid value for --min: '-1' (a number, 0 or more)"},
        {{"--min", "2", "--max", "1.5", "rec.txt"}, "the range is empty: --min must be below --max"},
        {{"-u", "min", "rec.txt"}, "invalid value for -u: 'min' (ms or s)"},
        {{"--summary", "rec.txt"},
         "--summary needs --output (standard output carries the series otherwise)"},
        {{"-w", "21", "rec.txt"}, "--window is the median filter's window: add --median"},
        {{"--median", "--detector", "rec.txt"}, "--median and --detector: one local filter (the detector is the default)"},
        {{"--no-deviation", "--median", "rec.txt"},
         "--median and --no-deviation: --no-deviation turns the local filter off"},
    };
    for (const auto& [args, why] : cases) {
        const auto r = clean(args, dir.path());
        EXPECT_EQ(r.status, 1) << why;
        EXPECT_EQ(r.err, "nongauss-clean: " + why + "\n" + hint);
        EXPECT_EQ(r.out, "");
    }
    // An empty range is no error when the range filter is off; "--" ends the options.
    EXPECT_EQ(clean({"--min", "2", "--max", "1", "--no-range", "rec.txt"}, dir.path()).status, 0);
    EXPECT_EQ(clean({"-w", "21", "--median", "rec.txt"}, dir.path()).status, 0);
    dir.write("-r", "0.8\n");
    const auto r = clean({"--", "-r"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "0.8\n");
}

TEST(CleanCli, MissingEmptyAndNonNumericInputHaveTheAnalysisMessages) {
    ScratchDir dir;
    auto r = clean({"absent.txt"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "File absent.txt not found!\n");
    EXPECT_EQ(r.out, "");
    const std::vector<std::pair<std::string, std::string>> files = {
        {"empty.txt", ""}, {"blank.txt", " \r\n\n"}, {"header.txt", "RR(ms)\n"}, {"junk.txt", "\x01\n0.8\n"}};
    for (const auto& [name, content] : files) {
        dir.write(name, content);
        r = clean({"-o", "out.txt", name}, dir.path());
        EXPECT_EQ(r.status, 1) << name;
        EXPECT_EQ(r.err, "No data was read!\n") << name;
        EXPECT_EQ(r.out, "");
        EXPECT_FALSE(dir.exists("out.txt"));
    }
}

TEST(CleanCli, CleanFilePassesThroughByteForByte) {
    ScratchDir dir;
    const auto rr = nongauss::testing::stationary_rr(3000, 21);
    for (const bool ms : {false, true}) {
        const std::string lf = rr_text(rr.seconds, ms);
        dir.write("lf.txt", lf);
        auto r = clean({"lf.txt"}, dir.path());
        EXPECT_EQ(r.status, 0);
        EXPECT_TRUE(r.out == lf) << "ms " << ms;
        EXPECT_NE(r.err.find("flagged:   0 of 3000 beats (0.00 %)"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(ms ? "(unit ms, from the first interval)" : "(unit s, from the first interval)"),
                  std::string::npos);
        // Replacement has nothing to do either; CRLF line ends come out as LF.
        dir.write("crlf.txt", rr_text(rr.seconds, ms, "\r\n"));
        r = clean({"--replace", "crlf.txt"}, dir.path());
        EXPECT_EQ(r.status, 0);
        EXPECT_TRUE(r.out == lf) << "ms " << ms;
    }
}

TEST(CleanCli, InjectedArtefactsAreDeletedOrReplacedAndReported) {
    ScratchDir dir;
    const auto rr = nongauss::testing::rr_with_artefacts(3000, 8);
    const std::string input = rr_text(rr.seconds, false);
    dir.write("rec.txt", input);
    const auto in_lines = lines_of(input);
    std::string expected;
    std::size_t artefacts = 0;
    for (std::size_t i = 0; i < in_lines.size(); ++i) {
        if (rr.injected[i]) ++artefacts;
        else expected += in_lines[i] + "\n";
    }
    ASSERT_EQ(artefacts, 13u);

    auto r = clean({"rec.txt"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out == expected);
    const std::size_t n = in_lines.size();
    char line[160];
    std::snprintf(line, sizeof line, "flagged:   13 of %zu beats (%.2f %%)", n, 1300.0 / static_cast<double>(n));
    EXPECT_NE(r.err.find(line), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("range:     2 outside [0.3 s, 2 s], deleted\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("detector:  11 flagged (ectopic 2, missed 1, extra 2, long 6, short 0), deleted\n"),
              std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("warning"), std::string::npos);
    // The median filter finds the same ones.
    const auto median = clean({"--median", "rec.txt"}, dir.path());
    EXPECT_TRUE(median.out == expected);
    EXPECT_NE(median.err.find("deviation: 11 more than 20 % from the median of 40 neighbours, deleted\n"),
              std::string::npos) << median.err;

    // Replacement, into a file, with the summary line for scripts.
    r = clean({"-r", "-o", "out.txt", "--summary", "rec.txt"}, dir.path());
    EXPECT_EQ(r.status, 0);
    const std::string out = dir.read("out.txt");
    EXPECT_EQ(thousandths(out), thousandths(input));  // the time axis is kept to the last decimal
    const auto out_lines = lines_of(out);
    std::istringstream summary(r.out);
    std::string name;
    std::size_t read = 0, by_range = 0, by_deviation = 0, written = 0;
    double flagged_pct = 0, time_pct = 0;
    summary >> name >> read >> by_range >> by_deviation >> flagged_pct >> time_pct >> written;
    EXPECT_EQ(name, "rec.txt");
    EXPECT_EQ(read, n);
    EXPECT_EQ(by_range, 2u);
    EXPECT_EQ(by_deviation, 11u);
    EXPECT_NEAR(flagged_pct, 1300.0 / static_cast<double>(n), 0.005);
    EXPECT_GT(time_pct, 100 * 37.0 / 2500);  // the two gaps alone are 37 s of some 2500 s
    EXPECT_EQ(written, out_lines.size());
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\t'), 6);
    EXPECT_NE(r.err.find("written:   " + std::to_string(written) + " intervals (" +
                         std::to_string(n - 13) + " kept, "),
              std::string::npos) << r.err;

    // A name with a tab, a newline and a backslash stays one field of one line.
    fs::copy_file(dir.path() / "rec.txt", dir.path() / "a\tb\nc\\d.txt");
    r = clean({"-o", "out.txt", "--summary", "a\tb\nc\\d.txt"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.substr(0, r.out.find('\t')), "a\\tb\\nc\\\\d.txt");
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1);
}

TEST(CleanCli, WarnsWhenMoreThanTenPercentOfTheBeatsOrOfTheTimeAreFlagged) {
    ScratchDir dir;
    // Gaps of 5 s among 0.8-s beats: 1 is 5.9 % of the time, 2 are 11.2 %.
    for (const int bad : {1, 2, 10, 11}) {
        std::string text;
        for (int i = 0; i < 100; ++i) text += i % 9 == 4 && i / 9 < bad ? "5.0\n" : "0.8\n";
        dir.write("rec.txt", text);
        const auto r = clean({"rec.txt"}, dir.path());
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(lines_of(r.out).size(), static_cast<std::size_t>(100 - bad));
        EXPECT_EQ(r.err.find("warning:   11.00 % of the beats were flagged (over 10 %): "
                             "inspect the recording before analysing it\n") != std::string::npos, bad == 11)
            << r.err;
        EXPECT_EQ(r.err.find("of the recording's time is flagged (over 10 %): lambda of this recording is "
                             "not to be trusted\n") != std::string::npos, bad > 1)
            << r.err;
        EXPECT_NE(r.err.find("the longest flagged stretch 5.0 s\n"), std::string::npos) << r.err;
    }
    std::string text = "0.8\n5.0\n6.0\n";
    for (int i = 0; i < 100; ++i) text += "0.8\n";
    dir.write("rec.txt", text);
    const auto r = clean({"rec.txt"}, dir.path());
    // 11 s of 91.8 s flagged, in one stretch: 431.4 s per hour.
    EXPECT_NE(r.err.find("time:      431.4 s flagged per hour, the longest flagged stretch 11.0 s\n"),
              std::string::npos) << r.err;
}

TEST(CleanCli, OutputThatCannotBeWrittenEndsWithStatus1) {
    ScratchDir dir;
    dir.write("rec.txt", "0.8\n0.81\n");
    auto r = clean({"-o", "no/such/dir.txt", "rec.txt"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(ends_with(r.err, "flagged:   0 of 2 beats (0.00 %), 0.0 s (0.00 % of the recording's time)\n"
                                 "time:      0.0 s flagged per hour, the longest flagged stretch 0.0 s\n"
                                 "No output file no/such/dir.txt!\n")) << r.err;
    EXPECT_EQ(r.err.find("written"), std::string::npos);
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    r = clean({"-o", "/dev/full", "rec.txt"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(ends_with(r.err, "stretch 0.0 s\nError writing /dev/full!\n")) << r.err;
}

}  // namespace
}  // namespace nongauss
