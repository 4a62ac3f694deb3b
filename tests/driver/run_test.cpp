// End-to-end tests of whole runs: transcript, TS and PDF files, summary line.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "support/run_tool.hpp"
#include "support/numbers.hpp"

namespace nongauss {
namespace {

using nongauss::testing::parse_summary;
using nongauss::testing::lines_of;
using nongauss::testing::run_tool;
using nongauss::testing::ScratchDir;
using nongauss::testing::irregular_ms;

const std::string hyphens(48, '-');
const std::string equals(68, '=');

std::vector<double> column(const std::string& file_text, int col) {
    std::vector<double> v;
    const auto lines = lines_of(file_text);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::istringstream in(lines[i]);
        double a = 0, b = 0, c = 0;
        in >> a >> b >> c;
        v.push_back(col == 0 ? a : col == 1 ? b : c);
    }
    return v;
}

// A few minutes of irregular intervals in ms, deterministic.
std::string synthetic_ms(int n) {
    std::ostringstream s;
    nongauss::testing::Xorshift random;
    for (int i = 0; i < n; ++i) {
        const std::uint64_t x = random.next();
        s << 800 + 80 * std::sin(i / 7.0) + static_cast<double>(x % 1000) / 10.0 << "\n";
    }
    return s.str();
}

TEST(Run, WorkedExampleTranscriptFilesAndSummary) {
    ScratchDir dir;
    dir.write("rec.txt", "1000\n2000\n3000\n");
    const auto r = run_tool({"-1", "-d", "0", "-t", "0.5", "-s", "2", "rec.txt"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, hyphens + "\nInput file: rec.txt.\n" + hyphens + "\n" +
                         "number of input data: 3\n"
                         "total time:     3.0 sec =     0.1 min = 0.0 h \n"
                         "resampling interval (frequency): 0.500 sec ( 2.00 Hz)\n"
                         "Resamping with linear interpolation.\n"
                         "scale: 2.00000 (4 pt)\n"
                         "WITHOUT detrending\n"
                         "Resampled and coase-grained time series are written in \"rec_TS.txt\".\n"
                         "The estimated PDF is written in \"rec_PDF.txt\".\n" +
                         equals + "\nfile=rec.txt ; scale=  2.0 sec ; SD= 1124.2 msec ; lmd=0.199\n" +
                         equals + "\n");
    EXPECT_EQ(r.out, "rec\t  2.0\t 1124.2\t0.1993\n");
    EXPECT_EQ(dir.read("rec_TS.txt"),
              "time(sec)\tRRI(ms)\tCG_series(ms)\n"
              "0.000000\t2000.000000\t-1416.666667\n"
              "0.500000\t2250.000000\t83.333333\n"
              "1.000000\t2500.000000\t1333.333333\n");
    const std::string pdf = dir.read("rec_PDF.txt");
    EXPECT_EQ(lines_of(pdf).size(), 101u);
    EXPECT_EQ(pdf.substr(0, 19), "x/SD\tP_exp\tP_model\n");

    const auto v = run_tool({"-1", "-d", "0", "-t", "0.5", "-s", "2", "-v", "rec.txt"}, dir.path());
    EXPECT_EQ(v.status, 0);
    EXPECT_EQ(v.out, "rec\t  2.0\t 1124.2\t0.1993\n");
    EXPECT_EQ(dir.read("rec_TS.txt"),
              "time(sec)\tRRI(ms)\tCG_series\n"
              "0.000000\t2000.000000\t-1.260124\n"
              "0.500000\t2250.000000\t0.074125\n"
              "1.000000\t2500.000000\t1.185999\n");
}

TEST(Run, DefaultRunFilesHaveTheirShape) {
    ScratchDir dir;
    dir.write("rec.2.txt", synthetic_ms(600));
    const auto r = run_tool({"rec.2.txt"}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("Resamping with cubic spline interpolation.\nscale: 25.00000 (100 pt)\n"
                         "detrend using polynomial fits of order 3\n" + hyphens + "\n"),
              std::string::npos);
    EXPECT_EQ(r.out.substr(0, 12), "rec.2\t 25.0\t");  // the last dot ends the name

    const std::string ts = dir.read("rec.2_TS.txt");
    const auto time = column(ts, 0);
    const auto cg = column(ts, 2);
    ASSERT_GT(cg.size(), 100u);
    EXPECT_EQ(lines_of(ts)[1].substr(0, 9), "0.000000\t");
    EXPECT_EQ(lines_of(ts)[2].substr(0, 9), "0.250000\t");
    // The CG column is centred and its spread is the SD of the summary.
    double sum = 0, sq = 0;
    for (double x : cg) sum += x, sq += x * x;
    const double sd = std::sqrt(sq / cg.size());
    EXPECT_NEAR(sum / cg.size(), 0.0, 1e-3);
    EXPECT_NEAR(sd, parse_summary(r.out).sd, 0.06);

    const std::string pdf = dir.read("rec.2_PDF.txt");
    EXPECT_EQ(lines_of(pdf).size(), 101u);
    // Densities integrate to about one over the bins.
    const auto x = column(pdf, 0);
    const auto p_exp = column(pdf, 1);
    const auto p_model = column(pdf, 2);
    const double w = x[1] - x[0];
    double mass_exp = 0, mass_model = 0;
    for (std::size_t i = 0; i < x.size(); ++i) mass_exp += p_exp[i] * w, mass_model += p_model[i] * w;
    EXPECT_NEAR(mass_exp, 1.0, 0.02);
    EXPECT_NEAR(mass_model, 1.0, 0.02);
}

TEST(Run, DivisorAndBinsShapeThePdfFile) {
    ScratchDir dir;
    dir.write("rec.txt", synthetic_ms(600));
    ASSERT_EQ(run_tool({"-n", "5", "rec.txt"}, dir.path()).status, 0);
    const std::string plain = dir.read("rec_PDF.txt");
    EXPECT_EQ(lines_of(plain).size(), 11u);
    ASSERT_EQ(run_tool({"-n", "5", "-r", "2", "rec.txt"}, dir.path()).status, 0);
    const std::string halved = dir.read("rec_PDF.txt");
    EXPECT_EQ(column(plain, 0), column(halved, 0));
    for (int col : {1, 2}) {
        const auto a = column(plain, col), b = column(halved, col);
        for (std::size_t i = 0; i < a.size(); ++i) EXPECT_NEAR(b[i], a[i] / 2, 1e-7);
    }
}

TEST(Run, OutputThatCannotBeCreatedEndsWithStatus1AndLeavesThePreviousPair) {
    ScratchDir dir;
    dir.write("rec.txt", synthetic_ms(600));
    // A directory in the way of the TS file (refused even for root): no PDF
    // file, no summary.
    std::filesystem::create_directory(dir.path() / "rec_TS.txt");
    auto r = run_tool({"rec.txt"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("No output file rec_TS.txt!\n"), std::string::npos);
    EXPECT_EQ(r.err.find("PDF"), std::string::npos);
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(dir.exists("rec_PDF.txt"));
    std::filesystem::remove(dir.path() / "rec_TS.txt");
    // The PDF file blocked by a directory of its name: the TS file of the
    // run is not put in place either; the previous one stays.
    dir.write("rec_TS.txt", "previous\n");
    std::filesystem::create_directory(dir.path() / "rec_PDF.txt");
    r = run_tool({"rec.txt"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("No output file rec_PDF.txt!\n"), std::string::npos);
    EXPECT_EQ(r.err.find(equals), std::string::npos);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(dir.read("rec_TS.txt"), "previous\n");
}

TEST(Run, UnusableIntervalsAreNamedByRow) {
    ScratchDir dir;
    dir.write("zero.txt", "800\n810\n0\n790\n");
    dir.write("neg.txt", "0.8\n-0.81\n");
    dir.write("huge.txt", "800\n1e400\n");
    auto r = run_tool({"zero.txt"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Invalid RR interval at row 3: 0 (intervals must be positive and finite)\n"),
              std::string::npos);
    r = run_tool({"neg.txt"}, dir.path());
    EXPECT_NE(r.err.find("row 2: -0.81 "), std::string::npos);
    r = run_tool({"huge.txt"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("row 2: inf "), std::string::npos);
    EXPECT_FALSE(dir.exists("zero_TS.txt") || dir.exists("neg_TS.txt") || dir.exists("huge_TS.txt"));
}

TEST(Run, TooShortSeriesWriteNothing) {
    ScratchDir dir;
    const std::string report = "Run-time error...\nThe data length is not enough!\n\n"
                               "...now exiting to system...\n";
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"800\n", {}},                           // one interval
        {"800\n810\n", {}},                      // under 2 * scale_pt points
        {"800\n810\n", {"-d", "0"}},             // fewer points than the scale
        {"1000\n1000\n1000\n", {"-s", "1e12"}},  // a scale beyond any series
    };
    for (const auto& [content, opts] : cases) {
        dir.write("short.txt", content);
        auto args = opts;
        args.push_back("short.txt");
        const auto r = run_tool(args, dir.path());
        EXPECT_EQ(r.status, 1) << content;
        ASSERT_GE(r.err.size(), report.size());
        EXPECT_EQ(r.err.substr(r.err.size() - report.size()), report);
        EXPECT_FALSE(dir.exists("short_TS.txt"));
    }
}

TEST(Run, EqualIntervalsCompleteWithoutIndexingOutsideTheBins) {
    ScratchDir dir;
    std::string text;
    for (int i = 0; i < 400; ++i) text += "1000\n";  // exactly 1 s: every increment is 0
    dir.write("flat.txt", text);
    const auto r = run_tool({"flat.txt"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("square of lambda = "), std::string::npos);
    EXPECT_NE(r.err.find("SD=    0.0 msec ; lmd=0.000"), std::string::npos);
    for (const auto& line : lines_of(dir.read("flat_TS.txt")))
        if (line[0] != 't') {
            EXPECT_NE(line.find("\t1000.000000\t"), std::string::npos);
        }
    for (double p : column(dir.read("flat_PDF.txt"), 1)) EXPECT_EQ(p, 0.0);
}

TEST(Run, ScaleBelowHalfTheIntervalIsRaisedToOnePoint) {
    ScratchDir dir;
    dir.write("rec.txt", synthetic_ms(600));
    const auto r = run_tool({"-t", "5", "-s", "2", "-d", "0", "rec.txt"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("scale: 2.00000 (1 pt)\n"), std::string::npos);
}

}  // namespace
}  // namespace nongauss

namespace nongauss {
namespace {

// Status of a shell command run in `dir`.
int shell_status(const std::filesystem::path& dir, const std::string& command) {
    const std::string full = "cd '" + dir.string() + "' && " + command;
    const int raw = std::system(full.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// A write that fails part way (a full disk; here the file-size limit, whose
// signal is ignored, makes write fail as a full disk would) is reported with
// the file's name and status 1, and leaves neither file behind: the pair is
// put in place only once both are complete.
// Lambda and the densities are worked out while the TS file is written:
// what they write to standard error keeps its place between the two file
// lines, and the files are those of a run that waits for each stage.
TEST(Run, LinesOfTheLambdaStageStayBetweenTheFileLines) {
    ScratchDir dir;
    dir.write("rec.txt", irregular_ms(3000));
    for (const auto& c : std::vector<std::pair<std::string, std::string>>{
             {"1e-9", "Warning: an order q of 1e-09 is too close to 0"}, {"2", "square of lambda = "}}) {
        const auto r = run_tool({"-q", c.first, "rec.txt"}, dir.path());
        ASSERT_EQ(r.status, 0) << r.err;
        const auto ts_line = r.err.find("are written in \"rec_TS.txt\".\n");
        const auto stage_line = r.err.find(c.second);
        const auto pdf_line = r.err.find("The estimated PDF is written in");
        ASSERT_NE(stage_line, std::string::npos) << r.err;
        EXPECT_LT(ts_line, stage_line) << r.err;
        EXPECT_LT(stage_line, pdf_line) << r.err;
        EXPECT_EQ(r.err.find(c.second, stage_line + 1), std::string::npos) << r.err;  // once
    }
}

TEST(RunWriteErrors, FailedWritesAreReportedWithTheFileNameAndLeaveNothing) {
    ScratchDir dir;
    dir.write("rec.txt", synthetic_ms(600));
    const std::string exe = std::string("'") + NONGAUSS_EXE + "'";
    const std::string limited = "trap '' XFSZ; ulimit -f 64; exec " + exe;  // 32 KiB

    EXPECT_EQ(shell_status(dir.path(), limited + " rec.txt >out 2>err"), 1);
    EXPECT_NE(dir.read("err").find("Error while writing output file rec_TS.txt!\n"), std::string::npos);
    EXPECT_EQ(dir.read("err").find("PDF"), std::string::npos);
    EXPECT_EQ(dir.read("out"), "");

    // The TS file fits, the PDF file of a million bins does not.
    EXPECT_EQ(shell_status(dir.path(), "trap '' XFSZ; ulimit -f 2048; exec " + exe +
                                           " -n 1000000 rec.txt >out 2>err"),
              1);
    EXPECT_NE(dir.read("err").find("Error while writing output file rec_PDF.txt!\n"), std::string::npos);
    EXPECT_EQ(dir.read("out"), "");
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename().string().find("rec_"), std::string::npos) << entry.path();

    if (std::filesystem::exists("/dev/full")) {
        EXPECT_EQ(shell_status(dir.path(), exe + " rec.txt >/dev/full 2>err"), 1);
        EXPECT_NE(dir.read("err").find("Error while writing the summary to standard output!\n"),
                  std::string::npos);
    }
    EXPECT_EQ(shell_status(dir.path(), exe + " rec.txt >out 2>err"), 0);
}

}  // namespace
}  // namespace nongauss
