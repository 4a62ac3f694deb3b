// nongauss-plot on the bundled example: density and lambda-versus-scale
// images, and its command line.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "tools/companions.hpp"

namespace nongauss {
namespace {

namespace fs = std::filesystem;
using namespace nongauss::testing;

// gnuplot is optional on a developer's machine, but CI installs it: there a
// missing gnuplot is a failure, not a reason to skip.
#define REQUIRE_GNUPLOT()                                                      \
    do {                                                                       \
        if (!on_path("gnuplot")) {                                             \
            if (std::getenv("CI") != nullptr) FAIL() << "gnuplot is missing";  \
            GTEST_SKIP() << "gnuplot is not installed";                        \
        }                                                                      \
    } while (0)

bool is_png(const std::string& bytes) {
    return bytes.size() > 1000 && bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0;
}

// Runs nongauss on a copy of the bundled example in `dir`; returns its summary line.
std::string analyse_example(const ScratchDir& dir, const std::vector<std::string>& options = {}) {
    fs::copy_file(source_path("examples/synthetic_4h.txt"), dir.path() / "example.txt",
                  fs::copy_options::overwrite_existing);
    std::vector<std::string> args = options;
    args.push_back("example.txt");
    const auto r = run_tool(args, dir.path());
    if (r.status != 0) throw std::runtime_error("nongauss failed: " + r.err);
    return r.out;
}

TEST(Plot, DensityOfTheExampleAsPngAndSvg) {
    REQUIRE_GNUPLOT();
    ScratchDir dir;
    const Summary summary = parse_summary(analyse_example(dir));

    // Default output: beside the input, .txt replaced by .png.
    const auto png = run_tool({"example_PDF.txt"}, dir.path(), plot_script());
    ASSERT_EQ(png.status, 0) << png.err;
    EXPECT_EQ(png.out, "");
    EXPECT_TRUE(is_png(dir.read("example_PDF.png")));

    // The title carries the lambda of the run, recovered from the model column.
    const auto svg = run_tool({"-o", "d.svg", "example_PDF.txt"}, dir.path(), plot_script());
    ASSERT_EQ(svg.status, 0) << svg.err;
    char expected[64];
    std::snprintf(expected, sizeof expected, "lambda = %.3f", summary.lambda);
    const std::string image = dir.read("d.svg");
    EXPECT_NE(image.find("<svg"), std::string::npos);
    EXPECT_NE(image.find(expected), std::string::npos) << expected;
    EXPECT_NE(image.find("standard normal"), std::string::npos);
    EXPECT_NE(image.find("probability density"), std::string::npos);
}

TEST(Plot, LambdaIsRecoveredWhateverTheDensityDivisorAndCanBeGiven) {
    REQUIRE_GNUPLOT();
    ScratchDir dir;
    const Summary summary = parse_summary(analyse_example(dir, {"-r", "7", "-s", "50"}));
    char expected[64];
    std::snprintf(expected, sizeof expected, "lambda = %.3f", summary.lambda);
    ASSERT_EQ(run_tool({"-o", "d.svg", "example_PDF.txt"}, dir.path(), plot_script()).status, 0);
    EXPECT_NE(dir.read("d.svg").find(expected), std::string::npos) << expected;

    ASSERT_EQ(run_tool({"--lambda", "0.123", "-o", "given.svg", "example_PDF.txt"}, dir.path(),
                       plot_script()).status, 0);
    EXPECT_NE(dir.read("given.svg").find("lambda = 0.123"), std::string::npos);
}

TEST(Plot, LambdaAgainstScaleFromSummaryLinesAndFromACohortTable) {
    REQUIRE_GNUPLOT();
    ScratchDir dir;
    std::string lines;
    for (const std::string scale : {"10", "25", "60"}) lines += analyse_example(dir, {"-s", scale});
    dir.write("summaries.tsv", lines);
    const auto r = run_tool({"-o", "scales.png", "summaries.tsv"}, dir.path(), plot_script());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(is_png(dir.read("scales.png")));

    // A cohort table of many files: thin lines and the median per scale.
    std::string table = "file\tscale\tSD\tlambda\n";
    for (int f = 0; f < 12; ++f)
        for (const int scale : {10, 25, 60})
            table += "rec" + std::to_string(f) + ".txt\t" + std::to_string(scale) + ".0\t200.0\t0." +
                     std::to_string(30 + f + scale / 10) + "\n";
    dir.write("cohort.tsv", table);
    const auto many = run_tool({"-o", "many.svg", "cohort.tsv"}, dir.path(), plot_script());
    ASSERT_EQ(many.status, 0) << many.err;
    EXPECT_NE(dir.read("many.svg").find("median of 12 files"), std::string::npos);
}

TEST(Plot, CommandLineConventions) {
    ScratchDir dir;
    const auto help = run_tool({"--help"}, dir.path(), plot_script());
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: nongauss-plot", 0), 0u);
    const auto version = run_tool({"--version"}, dir.path(), plot_script());
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("nongauss-plot ") + NONGAUSS_VERSION + "\n");

    dir.write("x_PDF.txt", "x/SD\tP_exp\tP_model\n");
    for (const auto& args : std::vector<std::vector<std::string>>{
             {}, {"--bogus", "x_PDF.txt"}, {"-o"}, {"-o", "x.jpg", "x_PDF.txt"},
             {"a_PDF.txt", "b_PDF.txt"}, {"--lambda", "abc", "x_PDF.txt"}}) {
        const auto r = run_tool(args, dir.path(), plot_script());
        EXPECT_EQ(r.status, 1) << (args.empty() ? "" : args[0]);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("nongauss-plot: "), std::string::npos) << r.err;
    }
    // Not a usage error, but nothing to draw: status 2 and no image.
    const auto missing = run_tool({"missing_PDF.txt"}, dir.path(), plot_script());
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("cannot read missing_PDF.txt"), std::string::npos);
    if (on_path("gnuplot")) {
        const auto empty = run_tool({"x_PDF.txt"}, dir.path(), plot_script());
        EXPECT_EQ(empty.status, 2);
        EXPECT_FALSE(dir.exists("x_PDF.png"));
    }
}

}  // namespace
}  // namespace nongauss
