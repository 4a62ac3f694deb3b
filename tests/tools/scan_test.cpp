// nongauss-scan end to end: its table against runs of nongauss, its options,
// its failures.
#include <gtest/gtest.h>

#include "nongauss/tsv_field.hpp"

#include <cstdio>
#include <string>
#include <vector>

#include "scan/scan_options.hpp"
#include "nongauss/scan.hpp"
#include "support/run_tool.hpp"
#include "tools/companions.hpp"

namespace nongauss {
namespace {

using nongauss::testing::lines_of;
using nongauss::testing::parse_summary;
using nongauss::testing::run_tool;
using nongauss::testing::RunResult;
using nongauss::testing::ScratchDir;

RunResult scan(const std::vector<std::string>& args, const ScratchDir& dir) {
    return run_tool(args, dir.path(), NONGAUSS_SCAN_EXE);
}

const std::string header =
    "file\tscale_s\tscale_pt\tsd_ms\tlambda\tlambda_sq\tn_increments\tn_beats\tduration_s\tunit\twarnings";

// Each row's SD and lambda, formatted as the summary line formats them, are
// what nongauss prints at that scale; with --pdf, the density files are
// nongauss's byte for byte.
TEST(Scan, EveryRowIsARunOfNongaussAtItsScale) {
    ScratchDir dir;
    nongauss::testing::synthesize(dir, "a.txt", {"--hours", "3", "--seed", "3"});
    nongauss::testing::synthesize(dir, "b.txt", {"--hours", "2", "--seed", "4", "--unit", "s"});
    std::filesystem::create_directory(dir.path() / "pdf");
    for (const std::vector<std::string>& options :
         std::vector<std::vector<std::string>>{{}, {"-d", "0"}, {"-1", "-d", "2", "-m", "2", "-q", "0", "-n", "40"}}) {
        std::vector<std::string> args = options;
        for (const char* a : {"-s", "5,37.5", "-S", "10:300:3", "--pdf", "pdf", "a.txt", "b.txt"}) args.push_back(a);
        const RunResult r = scan(args, dir);
        ASSERT_EQ(r.status, 0) << r.err;
        const auto lines = lines_of(r.out);
        ASSERT_EQ(lines.size(), 1u + 2 * 5);
        EXPECT_EQ(lines[0], header);
        const std::vector<std::string> files = {"a.txt", "b.txt"};
        const std::vector<std::string> scales = {"5", "37.5", "10", "54.772255750516614", "300"};
        for (std::size_t f = 0; f < 2; ++f) {
            for (std::size_t s = 0; s < 5; ++s) {
                const auto row = tab_fields(lines[1 + f * 5 + s]);
                ASSERT_EQ(row.size(), 11u);
                EXPECT_EQ(row[0], files[f]);
                EXPECT_EQ(row[1], scales[s]);
                std::vector<std::string> tool_args = options;
                tool_args.push_back("-s");
                tool_args.push_back(row[1]);
                tool_args.push_back(files[f]);
                const RunResult tool = run_tool(tool_args, dir.path());
                ASSERT_EQ(tool.status, 0) << tool.err;
                char summary[200];
                std::snprintf(summary, sizeof summary, "%s\t%5.1lf\t%7.1lf\t%5.4lf\n", files[f].substr(0, 1).c_str(),
                              std::stod(row[1]), std::stod(row[3]), std::stod(row[4]));
                EXPECT_EQ(tool.out, summary) << lines[1 + f * 5 + s];
                EXPECT_NE(tool.err.find("number of input data: " + row[7] + "\n"), std::string::npos);
                EXPECT_NE(tool.err.find("(" + row[2] + " pt)"), std::string::npos);
                EXPECT_EQ(row[9], f == 0 ? "ms" : "s");
                EXPECT_EQ(row[10], "");
                const std::string pdf = "pdf/" + files[f].substr(0, 1) + "_" + row[1] + "s_PDF.txt";
                EXPECT_EQ(dir.read(pdf), dir.read(files[f].substr(0, 1) + "_PDF.txt")) << pdf;
            }
        }
    }
}

TEST(Scan, AFailingFileGivesItsRowsAndStatusTwo) {
    ScratchDir dir;
    nongauss::testing::synthesize(dir, "good.txt", {"--hours", "1"});
    dir.write("bad.txt", "800\n-5\n800\n");
    dir.write("short.txt", "800\n810\n790\n");
    const RunResult r = scan({"-s", "25,2000", "bad.txt", "good.txt", "missing.txt", "short.txt"}, dir);
    EXPECT_EQ(r.status, 2);
    const auto lines = lines_of(r.out);
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(tab_fields(lines[1])[10], "error: Invalid RR interval at row 2: -5 (intervals must be positive and finite)");
    EXPECT_EQ(tab_fields(lines[1])[3], "");
    EXPECT_EQ(tab_fields(lines[1])[7], "");
    EXPECT_EQ(tab_fields(lines[3])[10], "");      // good at 25 s
    EXPECT_NE(tab_fields(lines[3])[4], "");
    EXPECT_EQ(tab_fields(lines[4])[10], "error: The data length is not enough!");  // good at 2000 s
    EXPECT_EQ(tab_fields(lines[4])[7], tab_fields(lines[3])[7]);                     // the series is known
    EXPECT_EQ(tab_fields(lines[5])[10], "error: File missing.txt not found!");
    EXPECT_EQ(tab_fields(lines[7])[0], "short.txt");
    EXPECT_EQ(tab_fields(lines[7])[7], "3");
}

TEST(Scan, UsageErrors) {
    ScratchDir dir;
    dir.write("rec.txt", "800\n");
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"-s", "5,x", "rec.txt"}, {"-s", "", "rec.txt"}, {"-s", "5,,10", "rec.txt"}, {"-s", "25sec", "rec.txt"},
             {"-S", "5:1000:0", "rec.txt"}, {"-S", "5:1000", "rec.txt"}, {"-S", "0:10:3", "rec.txt"},
             {"-S", "5:1000:2.5", "rec.txt"}, {"rec.txt"}, {"-s", "25"}, {"-x", "-s", "25", "rec.txt"},
             {"-s", "25", "-d"}, {"-j", "0", "-s", "25", "rec.txt"}, {"--surrogates", "1.5", "-s", "25", "rec.txt"},
             {"--bootstrap", "-1", "-s", "25", "rec.txt"}, {"--surrogate-kind", "aaft", "-s", "25", "rec.txt"},
             {"--seed", "-1", "-s", "25", "rec.txt"}, {"--seed", "18446744073709551616", "-s", "25", "rec.txt"}}) {
        const RunResult r = scan(args, dir);
        EXPECT_EQ(r.status, 1) << args[0] << " " << (args.size() > 1 ? args[1] : "");
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("usage: nongauss-scan"), std::string::npos) << r.err;
    }
    const RunResult help = scan({"--help"}, dir);
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: nongauss-scan", 0), 0u);
    EXPECT_EQ(scan({"--version"}, dir).out, std::string("nongauss-scan ") + NONGAUSS_VERSION + "\n");
    dir.write("dir1_x.txt", "800\n");
    std::filesystem::create_directory(dir.path() / "sub");
    dir.write("sub/rec.txt", "800\n");
    EXPECT_EQ(scan({"-s", "25", "--pdf", ".", "rec.txt", "sub/rec.txt"}, dir).status, 1);  // same PDF names
}

// The columns of the floor and test, the spread and the masked windows, in
// their place before the warnings; the same seed the same bytes; the
// analysis's own columns those of a run without them.
TEST(Scan, DefendingColumns) {
    ScratchDir dir;
    const RunResult made = run_tool({"--hours", "3", "--seed", "9", "-o", "rec.txt"}, dir.path(), NONGAUSS_SYNTH_EXE);
    ASSERT_EQ(made.status, 0) << made.err;
    const std::vector<std::string> args = {"-s", "5,25", "--surrogates", "9", "--bootstrap", "20", "--seed", "4",
                                           "--clean", "rec.txt"};
    const RunResult r = scan(args, dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(scan(args, dir).out, r.out);
    const auto rows = lines_of(r.out);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], "file\tscale_s\tscale_pt\tsd_ms\tlambda\tlambda_sq\tn_increments\tn_beats\tduration_s\tunit\t"
                       "lambda_floor\tp_surrogate\tlambda_se\tlambda_lower\tlambda_upper\twindows_used\t"
                       "windows_left_out\twarnings");
    const RunResult plain = scan({"-s", "5,25", "rec.txt"}, dir);
    const auto plain_rows = lines_of(plain.out);
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const auto f = tab_fields(rows[i]);
        ASSERT_EQ(f.size(), 18u) << rows[i];
        EXPECT_LT(std::stod(f[10]), std::stod(f[4]));  // the floor below a lambda of 0.4
        EXPECT_EQ(f[11], "0.1");                        // above all 9 surrogates
        EXPECT_GT(std::stod(f[12]), 0.0);
        EXPECT_LT(std::stod(f[13]), std::stod(f[14]));
        const auto p = tab_fields(plain_rows[i]);
        if (f[16] == "0") {
            EXPECT_EQ(f[4], p[4]);  // no window left out: the plain lambda
        }
        EXPECT_EQ(std::stol(f[6]) < std::stol(p[6]), f[16] != "0");
    }
    // Phase-randomised: a floor without a p.
    const auto phase = tab_fields(lines_of(scan({"-s", "25", "--surrogates", "9", "--surrogate-kind", "phase", "rec.txt"}, dir).out)[1]);
    ASSERT_EQ(phase.size(), 13u);
    EXPECT_NE(phase[10], "");
    EXPECT_EQ(phase[11], "");
}

TEST(Scan, TableFields) {
    EXPECT_EQ(shortest(0.1), "0.1");
    EXPECT_EQ(shortest(1273.527651369688), "1273.527651369688");
    EXPECT_EQ(std::stod(shortest(1.0 / 3)), 1.0 / 3);
    EXPECT_EQ(escaped_field("a\tb\nc\\d"), "a\\tb\\nc\\\\d");
    EXPECT_EQ(pdf_name("data/nsr001.txt", 25), "nsr001_25s_PDF.txt");
    EXPECT_EQ(pdf_name("x.y.txt", 5.5), "x.y_5.5s_PDF.txt");  // as nongauss names its outputs
    EXPECT_EQ(pdf_name("./d.1/S01_2024.01.05.txt", 25), "S01_2024.01.05_25s_PDF.txt");
    EXPECT_EQ(pdf_name("d/.rec", 25), ".rec_25s_PDF.txt");
    std::vector<double> s;
    EXPECT_TRUE(parse_scale_range("5:1000:20", s));
    EXPECT_EQ(s.size(), 20u);
    EXPECT_EQ(s.front(), 5.0);
    EXPECT_EQ(s.back(), 1000.0);
    EXPECT_TRUE(parse_scale_list("1e1,2.5", s));
    EXPECT_EQ(s.back(), 2.5);
    EXPECT_FALSE(parse_scale_list("1,", s));
}

}  // namespace
}  // namespace nongauss
