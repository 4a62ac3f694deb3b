// nongauss-clean as the front door for exported RR files: every export shape
// of the README's table, turned by the command the table gives into a series
// that nongauss reads as it reads the plain one; inputs that must not exhaust
// memory; read errors.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "support/run_tool.hpp"
#include "support/sanitizers.hpp"
#include "tools/companions.hpp"
#include "tools/synthetic_rr.hpp"

namespace nongauss {
namespace {

namespace fs = std::filesystem;
using namespace nongauss::testing;

std::string fmt(const char* format, double value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, value);
    return buf;
}

std::vector<std::string> words_of(const std::string& command) {
    std::vector<std::string> words;
    std::string w;
    bool quoted = false;
    for (const char c : command) {
        if (c == '\'') quoted = !quoted;
        else if (c == ' ' && !quoted) words.push_back(w), w.clear();
        else w += c;
    }
    words.push_back(w);
    return words;
}

struct Shape {
    const char* what;
    const char* file;
    const char* command;  // as in the README, without the program's path
    bool ms;              // the intervals in whole milliseconds, else seconds with 3 decimals
    std::string (*row)(double time, const std::string& rr);
    const char* header;
};

const std::vector<Shape> shapes = {
    {"one column under a header line", "export.txt", "nongauss-clean -o rec.txt export.txt", true,
     [](double, const std::string& rr) { return rr + "\n"; }, "RR (ms)\n"},
    {"byte-order mark, header, CRLF", "export.txt", "nongauss-clean -o rec.txt export.txt", true,
     [](double, const std::string& rr) { return rr + "\r\n"; }, "\xef\xbb\xbfRR_ms\r\n"},
    {"time and RR, commas", "export.csv", "nongauss-clean --column RR_ms -o rec.txt export.csv", true,
     [](double t, const std::string& rr) { return fmt("%.3f", t) + "," + rr + "\n"; }, "time,RR_ms\n"},
    {"semicolons and decimal commas", "export.csv",
     "nongauss-clean --column 2 --decimal-comma -o rec.txt export.csv", false,
     [](double t, const std::string& rr) {
         std::string line = fmt("%.3f", t) + ";" + rr + "\r\n";
         for (char& c : line) c = c == '.' ? ',' : c;
         return line;
     },
     "Zeit;RR (s)\r\n"},
    {"tab-separated, no header", "export.tsv", "nongauss-clean --column 2 -o rec.txt export.tsv", true,
     [](double t, const std::string& rr) { return fmt("%.3f", t) + "\t" + rr + "\n"; }, ""},
    {"one column, decimal commas", "export.txt", "nongauss-clean --decimal-comma -o rec.txt export.txt", false,
     [](double, const std::string& rr) { return rr.substr(0, rr.find('.')) + "," + rr.substr(rr.find('.') + 1) + "\n"; },
     ""},
    {"columns aligned with blanks", "export.txt", "nongauss-clean --column 2 -o rec.txt export.txt", true,
     [](double t, const std::string& rr) { return fmt("%10.3f", t) + "   " + rr + "\n"; }, "      time   RR\n"},
    {"quoted fields with time stamps", "export.csv", "nongauss-clean --column rr -o rec.txt export.csv", true,
     [](double t, const std::string& rr) {
         return "\"2024-01-05 10:" + fmt("%06.3f", t / 60) + "\",\"" + rr + "\"\n";
     },
     "\"timestamp\",\"rr\"\n"},
};

TEST(CleanExports, EveryShapeOfTheReadmeBecomesTheSeriesNongaussReads) {
    const std::string readme = slurp(source_path("README.md"));
    const auto rr = stationary_rr(600, 4);
    for (const Shape& shape : shapes) {
        SCOPED_TRACE(shape.what);
        EXPECT_NE(readme.find(std::string("`") + shape.command + "`"), std::string::npos)
            << "the README's table lacks " << shape.command;
        ScratchDir dir;
        std::string plain, exported = shape.header;
        double t = 0;
        for (const double s : rr.seconds) {
            const std::string text = shape.ms ? fmt("%.0f", s * 1000) : fmt("%.3f", s);
            plain += text + "\n";
            exported += shape.row(t, text);
            t += s;
        }
        dir.write(shape.file, exported);
        dir.write("plain.txt", plain);
        std::vector<std::string> args = words_of(shape.command);
        args.erase(args.begin());
        const RunResult r = run_tool(args, dir.path(), NONGAUSS_CLEAN_EXE);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err.find("Warning"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("reading stopped"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("read:      600 intervals"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("header:") != std::string::npos, *shape.header != '\0') << r.err;
        EXPECT_TRUE(dir.read("rec.txt") == plain);
        // What nongauss makes of it: the same as of the plain series.
        const RunResult cleaned = run_tool({"rec.txt"}, dir.path());
        const RunResult direct = run_tool({"plain.txt"}, dir.path());
        EXPECT_EQ(cleaned.status, 0) << cleaned.err;
        EXPECT_EQ(cleaned.out.substr(cleaned.out.find('\t')), direct.out.substr(direct.out.find('\t')));
    }
}

TEST(CleanExports, ATableWithoutAColumnIsRefusedWithWhatToDo) {
    ScratchDir dir;
    dir.write("export.csv", "time,RR_ms\n0.000,812\n0.812,790\n");
    const RunResult r = run_tool({"export.csv"}, dir.path(), NONGAUSS_CLEAN_EXE);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "export.csv: line 2 holds fields separated by commas: choose the column of the RR "
                     "intervals with --column N or --column NAME, or give --decimal-comma if the comma "
                     "is the decimal mark\n");
    EXPECT_EQ(r.out, "");
    // Two blank-separated numbers on the first line are read as a series, with a warning.
    dir.write("two.txt", "812 790\n805\n");
    const RunResult two = run_tool({"--no-range", "two.txt"}, dir.path(), NONGAUSS_CLEAN_EXE);
    EXPECT_EQ(two.status, 0);
    EXPECT_EQ(two.err.rfind("Warning: line 1 holds 2 numbers, read as consecutive intervals; if they are "
                            "columns (a time and an interval), choose one with --column N\n", 0),
              0u) << two.err;
}

// Shapes read otherwise than asked: each ends (or warns) with a line naming
// the options that read it.
TEST(CleanExports, ShapesReadOtherwiseThanAskedNameTheOptionsThatReadThem) {
    const auto table = [](const char* separator, bool comma, const char* first) {
        std::string text = first;
        double t = 0;
        for (const double s : stationary_rr(300, 5).seconds) {
            t += s;
            std::string line = fmt("%.3f", t) + separator + fmt(comma ? "%.3f" : "%.0f", comma ? s : 1000 * s) + "\n";
            if (comma) for (char& c : line) c = c == '.' ? ',' : c;
            text += line;
        }
        return text;
    };
    std::string start = "125.3\n";  // then intervals in seconds
    for (const double s : stationary_rr(300, 5).seconds) start += fmt("%.3f\n", s);
    std::string points = table(";", true, "Zeit;RR\n");
    std::replace(points.begin(), points.end(), ',', '.');
    const struct {
        const char* name;
        std::string text;
        std::vector<std::string> options;
        int status;
        const char* line;  // the start of the line that names the options
        const char* options_named;
    } cases[] = {
        {"time and ms, tabs", table("\t", false, ""), {}, 1, "Hint: every line holds 2 numbers, and column 1 rises", "--column 2\n"},
        {"no column 3", table("\t", false, ""), {"--column", "3"}, 1,
         "No data was read!\nHint: the lines hold 2 fields separated by tabs: there is no column 3; ", "--column 2\n"},
        {"decimal commas, no option", table(";", true, "Zeit;RR\n"), {"--column", "2"}, 1,
         "No data was read!\nHint: the numbers have a decimal comma", "--decimal-comma\n"},
        {"points, --decimal-comma", points, {"--column", "2", "--decimal-comma"}, 1,
         "No data was read!\nHint: the numbers have a decimal point", "without --decimal-comma\n"},
        {"time and ms, blanks", table(" ", false, ""), {}, 1, "Warning: every line holds 2 numbers", "--column 2\n"},
        {"a start time first", start, {}, 1, "Warning: the first value, 125.3, makes the unit milliseconds, but the median", "give --unit s"},
    };
    for (const auto& c : cases) {
        ScratchDir dir;
        dir.write("in.txt", c.text);
        std::vector<std::string> args = c.options;
        args.insert(args.end(), {"-o", "out.txt", "in.txt"});
        const RunResult r = run_tool(args, dir.path(), NONGAUSS_CLEAN_EXE);
        EXPECT_EQ(r.status, c.status) << c.name << "\n" << r.err;
        const auto at = r.err.find(c.line);
        ASSERT_NE(at, std::string::npos) << c.name << "\n" << r.err;
        const std::string line = r.err.substr(at, r.err.find('\n', at + std::strlen(c.line)) + 1 - at);
        EXPECT_NE(line.find(c.options_named), std::string::npos) << c.name << "\n" << line;
        EXPECT_EQ(r.err.find("Warning: the first value,") != std::string::npos, c.name[0] == 'a') << c.name;
    }
    // The option named reads it: the start time is flagged, the rest kept.
    ScratchDir dir;
    dir.write("in.txt", start);
    const RunResult r = run_tool({"--unit", "s", "-o", "out.txt", "in.txt"}, dir.path(), NONGAUSS_CLEAN_EXE);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(dir.read("out.txt"), start.substr(start.find('\n') + 1));
}

// Memory that runs out ends the run with a message and status 1, not an abort.
TEST(CleanExports, MemoryThatRunsOutEndsWithAMessage) {
    if (address_sanitizer || thread_sanitizer) GTEST_SKIP() << "address-space limits do not apply under the sanitizers";
    ScratchDir dir;
    {
        std::string text;
        for (int i = 0; i < 2000000; ++i) text += "0.8\n";
        dir.write("big.txt", text);
    }
    const std::string command = "cd '" + dir.path().string() + "' && ulimit -v 40000 && '" + NONGAUSS_CLEAN_EXE +
                                "' -o out.txt big.txt 2>err";
    const int raw = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), 1);
    EXPECT_EQ(dir.read("err"), "nongauss-clean: allocation failure: not enough memory for this input\n");
}

TEST(CleanExports, DeviationBelowOnePercentWarns) {
    ScratchDir dir;
    std::string text;
    for (const double s : stationary_rr(200, 3).seconds) text += fmt("%.3f\n", s);
    dir.write("rec.txt", text);
    for (const char* p : {"0.25", "0.999", "1", "25"}) {
        const RunResult r = run_tool({"-p", p, "-o", "out.txt", "rec.txt"}, dir.path(), NONGAUSS_CLEAN_EXE);
        EXPECT_EQ(r.status, 0);
        const bool warned = r.err.rfind("Warning: -p ", 0) == 0;
        EXPECT_EQ(warned, std::stod(p) < 1) << p << "\n" << r.err;
    }
    const RunResult r = run_tool({"-p", "0.25", "-o", "out.txt", "rec.txt"}, dir.path(), NONGAUSS_CLEAN_EXE);
    EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1),
              "Warning: -p 0.25 is a deviation of 0.25 % of the median, which flags almost every beat; "
              "-p takes a percentage (-p 25 for 25 %)\n");
}

// Runs nongauss-clean in `dir` with a time limit; returns its status (-1
// when it was killed) and its peak resident memory in KiB.
std::pair<int, long> run_bounded(const std::vector<std::string>& args, const fs::path& dir) {
    testing::RunOptions options;
    options.exe = NONGAUSS_CLEAN_EXE;
    options.time_limit_s = 60;  // a run that reads forever is killed
    options.discard_output = true;
    const RunResult r = testing::run_process(args, dir, options);
    return {r.status, r.peak_rss_kb};
}

TEST(CleanExports, EndlessAndHugeInputsStayInBoundedMemory) {
    ScratchDir dir;
    // A sparse file of 1 GiB (zero bytes), with and without intervals before them.
    for (const std::string start : {"", "812\n790\n"}) {
        const fs::path sparse = dir.write("sparse.txt", start);
        fs::resize_file(sparse, 1ull << 30);
        for (const std::string input : {"/dev/zero", "sparse.txt"}) {
            for (const bool column : {false, true}) {
                std::vector<std::string> args = {"-o", "out.txt", input};
                if (column) args.insert(args.begin(), {"--column", "1"});
                const auto [status, rss_kb] = run_bounded(args, dir.path());
                // Reading ends at the first zero byte, or at a line too long for a table.
                const bool some = input == "sparse.txt" && !start.empty() && !column;
                EXPECT_EQ(status, some ? 0 : 1) << input << " column " << column;
                EXPECT_LT(rss_kb, 200 * 1024) << input << " column " << column;
            }
        }
    }
}

TEST(CleanExports, ReadErrorsEndWithStatus1) {
    ScratchDir dir;
    fs::create_directory(dir.path() / "adir");
    const RunResult r = run_tool({"adir"}, dir.path(), NONGAUSS_CLEAN_EXE);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error while reading input file adir!\n");
    EXPECT_EQ(r.out, "");
}

}  // namespace
}  // namespace nongauss
