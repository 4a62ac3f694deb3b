// End-to-end runs on hostile input: every case ends in a defined state, a
// result or a clear message with a non-zero status, never a crash, a hang or
// numbers that are not numbers reported as success. The README's table "What
// happens with bad input" lists these cases.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/run_tool.hpp"
#include "support/sanitizers.hpp"
#include "support/numbers.hpp"

namespace nongauss {
namespace {

namespace fs = std::filesystem;
using nongauss::testing::RunResult;
using nongauss::testing::parse_summary;
using nongauss::testing::run_tool;
using nongauss::testing::ScratchDir;

const std::string not_enough = "The data length is not enough!\n";

// n irregular intervals around 800 ms, one per line, deterministic.
std::string intervals_ms(int n, std::uint64_t seed = nongauss::testing::Xorshift::default_seed) {
    return nongauss::testing::irregular_ms(n, 600, 400, seed);
}

// n intervals whose spread changes every 100 beats, so that the increments
// are far from Gaussian (lambda well above 0), deterministic.
std::string bursty_ms(int n) {
    std::string text;
    nongauss::testing::Xorshift random;
    for (int i = 0; i < n; ++i) {
        const std::uint64_t x = random.next();
        const unsigned long long amplitude = 20 + (x >> 40) % 10 * (i / 100 % 4) * 30;
        text += std::to_string(800 + (x % 400) * amplitude / 400) + "\n";
    }
    return text;
}

using nongauss::testing::has;

// Runs the tool (`exe`) in `dir`, as user `uid` when it is not -1 (needs
// root), with its wall time and peak resident memory.
RunResult run_measured(const std::vector<std::string>& args, const fs::path& dir, int uid = -1,
                       const std::string& exe = NONGAUSS_EXE) {
    nongauss::testing::RunOptions options;
    options.exe = exe;
    options.uid = uid;
    return nongauss::testing::run_process(args, dir, options);
}

// Nothing in the text reads as infinite or not a number.
bool all_numbers(const std::string& text) { return !has(text, "nan") && !has(text, "inf"); }

TEST(HostileInput, TextThatIsNotASeries) {
    ScratchDir dir;
    const std::string ok = intervals_ms(600);
    std::string junk = "\xff";  // binary junk: a fixed pseudo-random byte string
    unsigned x = 12345;
    for (int i = 0; i < 4096; ++i) junk += static_cast<char>((x = x * 1103515245 + 12345) >> 16);
    const struct {
        const char* name;
        std::string content;
        std::string message;
    } cases[] = {
        {"empty", "", "No data was read!\n"},
        {"header", "RR(ms)\n" + ok, "No data was read!\n"},
        {"bom", "\xEF\xBB\xBF" + ok, "No data was read!\n"},
        {"nanfirst", "NaN\n" + ok, "No data was read!\n"},
        {"junk", junk, "No data was read!\n"},
        {"comma", "812,5\n790,1\n805,3\n", not_enough},  // reads 812, stops at the comma
        {"single", "812\n", not_enough},
        {"two", "812\n790\n", not_enough},
        {"zeros", "0\n0\n0\n", "Invalid RR interval at row 1: 0 (intervals must be positive and finite)\n"},
        {"negative", "812\n-790\n805\n", "Invalid RR interval at row 2: -790 (intervals must be positive and finite)\n"},
        {"overflow", "812\n1e999\n805\n", "Invalid RR interval at row 2: inf (intervals must be positive and finite)\n"},
    };
    for (const auto& c : cases) {
        dir.write(std::string(c.name) + ".txt", c.content);
        const RunResult r = run_tool({std::string(c.name) + ".txt"}, dir.path());
        EXPECT_EQ(r.status, 1) << c.name;
        EXPECT_TRUE(has(r.err, c.message)) << c.name << ": " << r.err;
        EXPECT_EQ(r.out, "") << c.name;
        EXPECT_FALSE(dir.exists(std::string(c.name) + "_TS.txt")) << c.name;
    }
}

TEST(HostileInput, LineEndsAndTrailingWordsOfExports) {
    ScratchDir dir;
    const std::string lf = intervals_ms(600);
    std::string crlf;
    for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    dir.write("lf.txt", lf);
    dir.write("crlf.txt", crlf);
    // A NaN (or inf) word for a removed beat ends the series there: the run
    // analyses the beats before it, as the transcript's count shows.
    dir.write("nan.txt", lf + "nan\n" + intervals_ms(300, 7));
    dir.write("inf.txt", lf + "inf\n" + intervals_ms(300, 7));

    const RunResult base = run_tool({"lf.txt"}, dir.path());
    ASSERT_EQ(base.status, 0) << base.err;
    const std::string ts = dir.read("lf_TS.txt"), pdf = dir.read("lf_PDF.txt");
    const RunResult r = run_tool({"crlf.txt"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "crlf" + base.out.substr(2));
    EXPECT_EQ(dir.read("crlf_TS.txt"), ts);
    EXPECT_EQ(dir.read("crlf_PDF.txt"), pdf);
    for (const std::string name : {"nan", "inf"}) {
        const RunResult t = run_tool({name + ".txt"}, dir.path());
        EXPECT_EQ(t.status, 0) << name;
        EXPECT_TRUE(has(t.err, "number of input data: 600\n")) << name;
        EXPECT_EQ(t.out, name + base.out.substr(2)) << name;
    }
}

TEST(HostileInput, IntervalsThatBreakTheTimeAxisOrTheRange) {
    ScratchDir dir;
    const std::string head = intervals_ms(300), tail = intervals_ms(300, 99);
    dir.write("tiny.txt", head + "1e-300\n" + tail);
    nongauss::testing::write_out_of_range_series(dir);  // subnormal.txt, huge.txt, hugegrid.txt

    RunResult r = run_tool({"tiny.txt"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(has(r.err, "Invalid RR interval at row 301: 1e-300 (does not advance the elapsed time of "))
        << r.err;
    for (const char* method : {"-0", "-1", "-3"}) {
        r = run_tool({method, "tiny.txt"}, dir.path());
        EXPECT_EQ(r.status, 1) << method;
        EXPECT_TRUE(has(r.err, "at row 301: 1e-300 (does not advance")) << method;
    }
    for (const char* method : {"-1", "-3"}) {  // its slope or spline leaves the range
        r = run_tool({method, "subnormal.txt"}, dir.path());
        EXPECT_EQ(r.status, 1) << method;
        EXPECT_TRUE(has(r.err, "The resampled series is out of range at point 1!\n")) << method;
        EXPECT_FALSE(dir.exists("subnormal_TS.txt"));
    }
    r = run_tool({"-0", "subnormal.txt"}, dir.path());  // the step function just holds it
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(all_numbers(r.out)) << r.out;
    r = run_tool({"huge.txt"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(has(r.err, "The data length is too long!\n"));
    // With a grid coarse enough to hold them, the spline of such intervals
    // leaves the range of doubles.
    r = run_tool({"-t", "1e296", "-s", "1e297", "-d", "0", "hugegrid.txt"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(has(r.err, "The resampled series is out of range at point ")) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(dir.exists("hugegrid_TS.txt"));
    for (const char* method : {"-0", "-1"}) {  // intervals this size: the squares overflow
        r = run_tool({method, "-t", "1e296", "-s", "1e297", "-d", "0", "hugegrid.txt"}, dir.path());
        EXPECT_EQ(r.status, 1) << method;
        EXPECT_TRUE(has(r.err, "The coarse-grained series is out of range!\n")) << method << r.err;
        EXPECT_FALSE(dir.exists("hugegrid_TS.txt"));
    }
}

TEST(HostileInput, AGapIsAnalysedAsTheIntervalItIs) {
    // There is no artefact detection: a 30-s gap is one long interval, which
    // dominates the increments around it. The result stays a number.
    ScratchDir dir;
    const std::string head = intervals_ms(600), tail = intervals_ms(600, 5);
    dir.write("plain.txt", head + tail);
    dir.write("gap.txt", head + "30000\n" + tail);
    const RunResult plain = run_tool({"plain.txt"}, dir.path());
    const RunResult gap = run_tool({"gap.txt"}, dir.path());
    ASSERT_EQ(plain.status, 0);
    ASSERT_EQ(gap.status, 0);
    EXPECT_TRUE(all_numbers(gap.out) && all_numbers(dir.read("gap_TS.txt")) &&
                all_numbers(dir.read("gap_PDF.txt")));
    EXPECT_GT(parse_summary(gap.out).sd, 5 * parse_summary(plain.out).sd);
}

TEST(HostileInput, ExtremeOptions) {
    ScratchDir dir;
    dir.write("rec.txt", intervals_ms(1200));
    const struct {
        std::vector<std::string> options;
        int status;
        const char* message;
    } cases[] = {
        {{"-s", "1e12"}, 1, "The data length is not enough!\n"},
        {{"-t", "1e-9"}, 0, "resampling interval (frequency): 0.010 sec (100.00 Hz)\n"},
        {{"-d", "300", "-m", "2"}, 1, "no convergence in 30 svdcmp iterations\n"},
        {{"-d", "300"}, 1, "gaussj: Singular Matrix-2\n"},
        {{"-q", "2"}, 0, "square of lambda = "},  // the second moment carries no lambda
        {{"-q", "-0.9"}, 0, "lmd="},
        {{"-q", "-5"}, 0, "lmd="},  // raised to -0.9
        // Values whose results would not be numbers end before any file is written.
        {{"-q", "1e300"}, 1, "Run-time error...\nThe absolute moment of order 1e+300 is out of range!\n"},
        {{"-r", "1e-320"}, 1, "Run-time error...\nThe densities divided by 9.99989e-321 are out of range!\n"},
        {{"-r", "1e-300"}, 0, "lmd="},  // large densities, but numbers
    };
    for (const auto& c : cases) {
        auto args = c.options;
        args.push_back("rec.txt");
        const RunResult r = run_tool(args, dir.path());
        EXPECT_EQ(r.status, c.status) << c.options[1];
        EXPECT_TRUE(has(r.err, c.message)) << c.options[1] << ": " << r.err;
        if (c.status == 0) {
            EXPECT_TRUE(all_numbers(r.out)) << r.out;
            EXPECT_GE(parse_summary(r.out).lambda, 0.0);
            const std::string pdf = dir.read("rec_PDF.txt");
            EXPECT_FALSE(has(pdf, "inf") || has(pdf, "nan")) << c.options[1];
        } else {
            EXPECT_EQ(r.out, "");
            EXPECT_FALSE(fs::exists(dir.path() / "rec_TS.txt") || fs::exists(dir.path() / "rec_PDF.txt"))
                << c.options[1];
        }
        fs::remove(dir.path() / "rec_TS.txt");
        fs::remove(dir.path() / "rec_PDF.txt");
    }
    // An order below -0.9 is raised to -0.9.
    EXPECT_EQ(run_tool({"-q", "-5", "rec.txt"}, dir.path()).out,
              run_tool({"-q", "-0.9", "rec.txt"}, dir.path()).out);
}

TEST(HostileInput, ImpossibleAllocationsFailAtOnceWithoutTouchingMemory) {
    ScratchDir dir;
    dir.write("rec.txt", intervals_ms(600));
    // 2147483648 coefficients: 16 GiB for the coefficient array alone.
    const RunResult m = run_measured({"-d", "2147483647", "rec.txt"}, dir.path());
    EXPECT_EQ(m.status, 1);
    EXPECT_TRUE(has(m.err, "Run-time error...\nallocation failure in vector()\n"
                               "...now exiting to system...\n"));
    EXPECT_LT(m.peak_rss_kb, 256 * 1024);
    EXPECT_LT(m.seconds, 20.0);
}

// Every way a run can end in the fatal report: the report is the last thing
// on standard error, byte for byte, right after the transcript's last line,
// standard output stays empty and nothing is written.
TEST(HostileInput, EveryFatalPathEndsInTheSameReport) {
    ScratchDir dir;
    dir.write("rec.txt", intervals_ms(1200));
    nongauss::testing::write_out_of_range_series(dir);
    const struct {
        std::vector<std::string> args;
        std::string message;
        std::string line_before;  // the transcript's last line before the report
    } cases[] = {
        {{"-s", "100000", "rec.txt"}, not_enough, "scale: 100000.00000 (400000 pt)\n"},
        {{"-d", "300", "rec.txt"}, "gaussj: Singular Matrix-2", "------------------------------------------------\n"},
        {{"-d", "300", "-m", "2", "rec.txt"}, "no convergence in 30 svdcmp iterations",
         "------------------------------------------------\n"},
        {{"-d", "2147483647", "rec.txt"}, "allocation failure in vector()", "------------------------------------------------\n"},
        // The bins are made while the TS file is written (after lambda, whose
        // estimate for this series is negative); the report still follows
        // what the stage wrote after the TS file's line.
        {{"-n", "2147483647", "rec.txt"}, "allocation failure in vector()",
         "are written in \"rec_TS.txt\".\nsquare of lambda = -0.031690\n"},
        {{"huge.txt"}, "The data length is too long!\n", "(nongauss-clean)\n"},  // after the range warning
        {{"-1", "subnormal.txt"}, "The resampled series is out of range at point 1!",
         "scale: 25.00000 (100 pt)\n"},
        {{"-0", "-t", "1e296", "-s", "1e297", "-d", "0", "hugegrid.txt"},
         "The coarse-grained series is out of range!", "WITHOUT detrending\n"},
    };
    for (const auto& c : cases) {
        const RunResult r = run_tool(c.args, dir.path());
        const std::string report = "Run-time error...\n" + c.message + "\n...now exiting to system...\n";
        EXPECT_EQ(r.status, 1) << c.message;
        EXPECT_EQ(r.out, "") << c.message;
        ASSERT_GE(r.err.size(), report.size() + c.line_before.size()) << r.err;
        EXPECT_EQ(r.err.substr(r.err.size() - report.size()), report) << r.err;
        EXPECT_EQ(r.err.substr(r.err.size() - report.size() - c.line_before.size(), c.line_before.size()),
                  c.line_before)
            << r.err;
        EXPECT_EQ(r.err.find("error..."), r.err.size() - report.size() + 9) << r.err;  // one report only
    }
    for (const auto& file : fs::directory_iterator(dir.path()))
        EXPECT_EQ(file.path().string().find("_TS.txt"), std::string::npos) << file.path();
}

TEST(HostileInput, AMillionBinsAreComputed) {
    ScratchDir dir;
    dir.write("rec.txt", bursty_ms(1200));
    const RunResult r = run_tool({"-n", "1000000", "rec.txt"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_GT(parse_summary(r.out).lambda, 0.1);  // the model density is integrated bin by bin
    const std::string pdf = dir.read("rec_PDF.txt");
    EXPECT_EQ(std::count(pdf.begin(), pdf.end(), '\n'), 1000001);
    EXPECT_TRUE(all_numbers(pdf));
}

TEST(HostileInput, OutputsThatCannotBeWritten) {
    ScratchDir dir;
    fs::create_directory(dir.path() / "adir");
    RunResult r = run_tool({"adir"}, dir.path());  // the input is a directory
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(has(r.err, "Error while reading input file adir!\n"));

    // A read-only directory: as root it would still be writable, so the run
    // goes as an unprivileged user then.
    fs::create_directory(dir.path() / "ro");
    dir.write("ro/rec.txt", intervals_ms(600));
    fs::permissions(dir.path() / "ro", fs::perms::owner_read | fs::perms::owner_exec |
                                           fs::perms::group_read | fs::perms::group_exec |
                                           fs::perms::others_read | fs::perms::others_exec);
    const int nobody = geteuid() == 0 ? 65534 : -1;
    // A copy of the tool that the user can reach (a build under /root is out of its reach).
    const fs::path exe = dir.path() / "nongauss";
    fs::copy_file(NONGAUSS_EXE, exe);
    const RunResult m = run_measured({"ro/rec.txt"}, dir.path(), nobody, exe.string());
    if (m.status == 125) GTEST_SKIP() << "cannot run as an unprivileged user here";
    EXPECT_EQ(m.status, 1);  // an output that cannot be created ends the run with 1
    EXPECT_TRUE(has(m.err, "No output file ro/rec_TS.txt!\n")) << m.err;
    EXPECT_EQ(m.out, "");
    EXPECT_FALSE(dir.exists("ro/rec_TS.txt"));
}

TEST(HostileInput, TenMillionValuesStayWithin2GiB) {
    // About 100 days of beats; within 2 GiB even with AddressSanitizer's
    // overhead. ThreadSanitizer's shadow memory alone is several times the
    // program's: the bound is not its to check (and the run takes minutes).
    if (nongauss::testing::thread_sanitizer) GTEST_SKIP() << "memory is measured without ThreadSanitizer";
    ScratchDir dir;
    {
        std::FILE* f = std::fopen((dir.path() / "big.txt").c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::string buf;
        nongauss::testing::Xorshift random;
        for (int i = 0; i < 10000000; ++i) {
            const std::uint64_t x = random.next();
            buf += std::to_string(600 + static_cast<int>(x % 400));
            buf += '\n';
            if (buf.size() > (1 << 20)) std::fputs(buf.c_str(), f), buf.clear();
        }
        std::fputs(buf.c_str(), f);
        ASSERT_EQ(std::fclose(f), 0);
    }
    // The TS file of 100 days (32 million rows, 1.2 GB) is written beside it.
    const RunResult m = run_measured({"big.txt"}, dir.path());
    EXPECT_EQ(m.status, 0) << m.err;
    EXPECT_TRUE(has(m.err, "number of input data: 10000000\n"));
    EXPECT_TRUE(all_numbers(m.out)) << m.out;
    EXPECT_LT(m.peak_rss_kb, 2L * 1024 * 1024);
    RecordProperty("peak_rss_kb", std::to_string(m.peak_rss_kb));
    RecordProperty("wall_seconds", std::to_string(m.seconds));
    std::printf("10 million values: peak RSS %ld MiB, wall %.1f s\n", m.peak_rss_kb / 1024, m.seconds);
}

}  // namespace
}  // namespace nongauss
