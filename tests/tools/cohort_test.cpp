// nongauss-cohort over a handful of generated files, one of them bad.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "tools/companions.hpp"

namespace nongauss {
namespace {

namespace fs = std::filesystem;
using namespace nongauss::testing;

RunResult cohort(const ScratchDir& dir, std::vector<std::string> args) {
    args.insert(args.begin(), {"--nongauss", NONGAUSS_EXE});
    return run_tool(args, dir.path(), cohort_script());
}

// Rows of a TSV file after its header, split into fields.
std::vector<std::vector<std::string>> rows_of(const std::string& text, const std::string& header) {
    std::vector<std::vector<std::string>> rows;
    const auto lines = lines_of(text);
    EXPECT_FALSE(lines.empty());
    if (lines.empty()) return rows;
    EXPECT_EQ(lines[0], header);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::vector<std::string> fields;
        std::size_t start = 0;
        for (;;) {
            const auto tab = lines[i].find('\t', start);
            fields.push_back(lines[i].substr(start, tab - start));
            if (tab == std::string::npos) break;
            start = tab + 1;
        }
        rows.push_back(fields);
    }
    return rows;
}

const std::string table_header = "file\tscale\tSD\tlambda";
const std::string log_header = "file\tscale\tstatus\treason";

TEST(Cohort, EveryGoodFileInTheTableTheBadOneInTheLog) {
    ScratchDir dir;
    // Five one-hour series, two of them with the same name in different
    // directories, and one file that holds no numbers.
    fs::create_directories(dir.path() / "a");
    fs::create_directories(dir.path() / "b");
    const std::vector<std::string> good = {"s1.txt", "a/rec.txt", "b/rec.txt", "s4.txt", "s5.txt"};
    for (std::size_t i = 0; i < good.size(); ++i)
        synthesize(dir, good[i], {"--hours", "1", "--seed", std::to_string(i + 1)});
    dir.write("bad.txt", "RR intervals (ms)\n812\n790\n");
    const std::vector<std::string> inputs = {"s1.txt", "a/rec.txt", "bad.txt", "b/rec.txt", "s4.txt",
                                             "s5.txt"};

    std::vector<std::string> args = {"-j", "3", "-s", "25,40", "-k", "runs", "-o", "out/t.tsv"};
    fs::create_directories(dir.path() / "out");
    args.insert(args.end(), inputs.begin(), inputs.end());
    const auto r = cohort(dir, args);
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("10 of 12 runs succeeded"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find('\r'), std::string::npos) << "progress shown without a terminal";

    // The table: every good file at both scales, in command-line order, with
    // exactly the numbers a single run of nongauss prints.
    const auto rows = rows_of(dir.read("out/t.tsv"), table_header);
    ASSERT_EQ(rows.size(), 10u);
    std::size_t k = 0;
    for (const auto& file : good)
        for (const std::string scale : {"25", "40"}) {
            ASSERT_EQ(rows[k].size(), 4u);
            EXPECT_EQ(rows[k][0], file);
            EXPECT_EQ(rows[k][1], scale + ".0");
            ++k;
        }

    // Each run wrote its outputs in its own directory, none beside the inputs.
    int runs_with_outputs = 0;
    for (const auto& run : fs::directory_iterator(dir.path() / "runs"))
        if (fs::exists(run.path() / "input_TS.txt") && fs::exists(run.path() / "input_PDF.txt"))
            ++runs_with_outputs;
    EXPECT_EQ(runs_with_outputs, 10);
    for (const std::string d : {"", "a", "b"})
        for (const auto& entry : fs::directory_iterator(dir.path() / d))
            EXPECT_EQ(entry.path().string().find("_TS.txt"), std::string::npos) << entry.path();

    fs::copy_file(dir.path() / "b/rec.txt", dir.path() / "single.txt");
    const Summary direct = parse_summary(run_tool({"-s", "40", "single.txt"}, dir.path()).out);
    EXPECT_DOUBLE_EQ(std::stod(rows[5][2]), direct.sd);
    EXPECT_DOUBLE_EQ(std::stod(rows[5][3]), direct.lambda);
    EXPECT_NE(rows[2][3], rows[4][3]) << "a/rec.txt and b/rec.txt were mixed up";

    // The failure log: the bad file at both scales, with nongauss's reason.
    const auto failed = rows_of(dir.read("out/t_failed.tsv"), log_header);
    ASSERT_EQ(failed.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(failed[i][0], "bad.txt");
        EXPECT_EQ(failed[i][2], "1");
        EXPECT_EQ(failed[i][3], "No data was read!");
    }
    EXPECT_EQ(failed[0][1], "25");
    EXPECT_EQ(failed[1][1], "40");

}

TEST(Cohort, AllGoodExitsZeroAndPassesOptionsToNongauss) {
    ScratchDir dir;
    synthesize(dir, "x.txt", {"--hours", "1"});
    synthesize(dir, "y.txt", {"--hours", "1", "--seed", "5", "--unit", "s"});
    dir.write("list.txt", "x.txt\r\n\ny.txt\n");
    const auto r = cohort(dir, {"-a", "-d 0 -q 0", "-f", "list.txt"});
    EXPECT_EQ(r.status, 0) << r.err;
    const auto rows = rows_of(dir.read("cohort.tsv"), table_header);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1][0], "y.txt");
    EXPECT_EQ(lines_of(dir.read("cohort_failed.tsv")), std::vector<std::string>{log_header});

    const Summary direct = parse_summary(run_tool({"-d", "0", "-q", "0", "y.txt"}, dir.path()).out);
    EXPECT_DOUBLE_EQ(std::stod(rows[1][3]), direct.lambda);
    const Summary plain = parse_summary(run_tool({"y.txt"}, dir.path()).out);
    EXPECT_NE(std::stod(rows[1][3]), plain.lambda) << "the options did not reach nongauss";

    // Options nongauss rejects fail every run, and say so.
    const auto bad = cohort(dir, {"-a", "-x", "-o", "bad.tsv", "x.txt"});
    EXPECT_EQ(bad.status, 2);
    const auto failed = rows_of(dir.read("bad_failed.tsv"), log_header);
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(failed[0][3], "nongauss rejected the options '-x'");
}

TEST(Cohort, CleaningFirstRecordsTheFlaggedShareAndTamesAGap) {
    ScratchDir dir;
    synthesize(dir, "clean.txt", {"--hours", "1", "--seed", "11"});
    // The same series with a 30-s signal-loss gap written into it.
    std::string text = dir.read("clean.txt");
    text.insert(text.find('\n', text.size() / 2) + 1, "30000\n");
    dir.write("gap.txt", text);
    dir.write("bad.txt", "RR\n");

    const auto raw = cohort(dir, {"-o", "raw.tsv", "clean.txt", "gap.txt"});
    ASSERT_EQ(raw.status, 0) << raw.err;
    const auto cleaned = cohort(dir, {"--clean-exe", NONGAUSS_CLEAN_EXE, "-o", "cleaned.tsv", "clean.txt",
                                      "gap.txt", "bad.txt"});
    EXPECT_EQ(cleaned.status, 2) << cleaned.err;

    const auto before = rows_of(dir.read("raw.tsv"), table_header);
    const auto after = rows_of(dir.read("cleaned.tsv"), table_header + "\tflagged_pct");
    ASSERT_EQ(before.size(), 2u);
    ASSERT_EQ(after.size(), 2u);
    // The gap dominates the raw SD; after cleaning the two files agree again.
    EXPECT_GT(std::stod(before[1][2]), 10 * std::stod(before[0][2]));
    EXPECT_NEAR(std::stod(after[1][2]), std::stod(after[0][2]), 0.05 * std::stod(after[0][2]));
    EXPECT_EQ(after[0][0], "clean.txt");
    EXPECT_GT(std::stod(after[1][4]), 0.0);  // the gap was flagged
    const auto log = rows_of(dir.read("cleaned_failed.tsv"), log_header);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0][0], "bad.txt");
    EXPECT_NE(log[0][3].find("No data was read!"), std::string::npos);
}

TEST(Cohort, ProgressOnlyOnATerminal) {
    if (!on_path("script")) GTEST_SKIP() << "script(1) is not available";
    ScratchDir dir;
    synthesize(dir, "x.txt", {"--hours", "0.5"});
    const std::string command = "script -qec \"" + cohort_script() + " --nongauss " + NONGAUSS_EXE +
                                " -s 25,30 x.txt\" /dev/null";
    const auto r = run_shell(command, dir.path());
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("\rnongauss-cohort: 2/2 runs done, 0 failed"), std::string::npos) << r.out;
    const auto quiet = run_shell("script -qec \"" + cohort_script() + " --nongauss " + NONGAUSS_EXE +
                                     " -q x.txt\" /dev/null",
                                 dir.path());
    EXPECT_EQ(quiet.out.find("runs done"), std::string::npos) << quiet.out;
}

TEST(Cohort, CommandLineConventions) {
    ScratchDir dir;
    const auto help = run_tool({"--help"}, dir.path(), cohort_script());
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: nongauss-cohort", 0), 0u);
    const auto version = run_tool({"--version"}, dir.path(), cohort_script());
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("nongauss-cohort ") + NONGAUSS_VERSION + "\n");

    dir.write("x.txt", "800\n");
    fs::create_directories(dir.path() / "used");
    dir.write("used/old.txt", "");
    const std::vector<std::vector<std::string>> cases = {
        {}, {"--bogus", "x.txt"}, {"-s", "abc", "x.txt"}, {"-s", "", "x.txt"}, {"-j", "0", "x.txt"},
        {"-j"}, {"-f", "no-such-list"}, {"-o", "t.tsv", "-l", "t.tsv", "x.txt"},
        {"-k", "used", "x.txt"}, {"--nongauss", "/no/such/nongauss", "x.txt"},
        {"-o", "no/such/dir/t.tsv", "x.txt"}};
    for (const auto& args : cases) {
        const auto r = run_tool(args, dir.path(), cohort_script());
        EXPECT_EQ(r.status, 1) << (args.empty() ? "" : args[0]) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("nongauss-cohort: ", 0), 0u) << r.err;
    }
    EXPECT_FALSE(dir.exists("cohort.tsv"));
}

}  // namespace
}  // namespace nongauss
