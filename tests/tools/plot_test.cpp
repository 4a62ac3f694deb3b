// nongauss-plot on the bundled example: density and lambda-versus-scale
// images, and its command line.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>

#include "tools/background_run.hpp"
#include "tools/companions.hpp"

namespace nongauss {
namespace {

namespace fs = std::filesystem;
using namespace nongauss::testing;

#define REQUIRE_GNUPLOT() NONGAUSS_REQUIRE_PROGRAM("gnuplot", "gnuplot-nox")

// The plot with the output writer of this build.
RunResult plot(std::vector<std::string> args, const fs::path& dir) {
    args.insert(args.begin(), {"--writer", NONGAUSS_WRITE_EXE});
    return run_tool(args, dir, plot_script());
}

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

    // Default output: beside the input, .txt replaced by .png; nothing on
    // standard error when the scale is given.
    const auto png = plot({"-s", "25", "example_PDF.txt"}, dir.path());
    ASSERT_EQ(png.status, 0) << png.err;
    EXPECT_EQ(png.out, "");
    EXPECT_EQ(png.err, "");
    EXPECT_TRUE(is_png(dir.read("example_PDF.png")));

    // The title carries the scale and the lambda of the run, recovered from
    // the model column, with a Greek lambda.
    const auto svg = plot({"--scale=25", "-o", "d.svg", "example_PDF.txt"}, dir.path());
    ASSERT_EQ(svg.status, 0) << svg.err;
    char expected[128];
    std::snprintf(expected, sizeof expected, "example, scale 25 s: density of the standardised increments, "
                  "\u03bb = %.3f", summary.lambda);
    const std::string image = dir.read("d.svg");
    EXPECT_NE(image.find("<svg"), std::string::npos);
    EXPECT_NE(image.find(expected), std::string::npos) << expected;
    EXPECT_NE(image.find("standard normal"), std::string::npos);
    EXPECT_NE(image.find("probability density"), std::string::npos);

    // The scale from the file's name or its directory's; else a warning (a
    // directory "s1" may well be a subject's, so it carries no scale).
    for (const char* sub : {"50s", "s1"}) fs::create_directory(dir.path() / sub);
    const std::vector<std::pair<std::string, std::string>> named = {
        {"50s/example_PDF.txt", "scale 50 s"}, {"rec_scale2.5_PDF.txt", "scale 2.5 s"},
        {"s1/example_PDF.txt", "scale not given"}};
    for (const auto& [file, scale] : named) {
        fs::copy_file(dir.path() / "example_PDF.txt", dir.path() / file);
        const auto r = plot({"-o", "n.svg", file}, dir.path());
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(dir.read("n.svg").find(scale + ": density"), std::string::npos) << file;
        if (scale == "scale not given") {
            EXPECT_EQ(r.err, "Warning: the scale of " + file + " is not known: give it with -s W to "
                             "show it in the title\n");
        } else {
            EXPECT_EQ(r.err, "");
        }
    }
}

TEST(Plot, LambdaIsRecoveredWhateverTheDensityDivisorAndCanBeGiven) {
    REQUIRE_GNUPLOT();
    ScratchDir dir;
    const Summary summary = parse_summary(analyse_example(dir, {"-r", "7", "-s", "50"}));
    char expected[64];
    std::snprintf(expected, sizeof expected, "\u03bb = %.3f", summary.lambda);
    ASSERT_EQ(plot({"-o", "d.svg", "example_PDF.txt"}, dir.path()).status, 0);
    EXPECT_NE(dir.read("d.svg").find(expected), std::string::npos) << expected;

    ASSERT_EQ(plot({"--lambda", "0.123", "-o", "given.svg", "example_PDF.txt"}, dir.path()).status, 0);
    EXPECT_NE(dir.read("given.svg").find("\u03bb = 0.123"), std::string::npos);
}

TEST(Plot, LambdaAgainstScaleFromSummaryLinesAndFromACohortTable) {
    REQUIRE_GNUPLOT();
    ScratchDir dir;
    std::string lines;
    for (const std::string scale : {"10", "25", "60"}) lines += analyse_example(dir, {"-s", scale});
    dir.write("summaries.tsv", lines);
    const auto r = plot({"-o", "scales.png", "summaries.tsv"}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(is_png(dir.read("scales.png")));
    const auto svg = plot({"-o", "scales.svg", "summaries.tsv"}, dir.path());
    ASSERT_EQ(svg.status, 0) << svg.err;
    EXPECT_NE(dir.read("scales.svg").find("<text>\u03bb</text>"), std::string::npos);  // the y label

    // A cohort table of 12 files under a directory: a legend of base names,
    // twelve colours and twelve markers.
    const auto table = [](int files) {
        std::string t = "file\tscale\tSD\tlambda\n";
        for (int f = 0; f < files; ++f)
            for (const int scale : {10, 25, 60})
                t += "/data/cohort/rec" + std::to_string(f + 10) + ".txt\t" + std::to_string(scale) +
                     ".0\t200.0\t0." + std::to_string(30 + f + scale / 10) + "\n";
        return t;
    };
    dir.write("cohort12.tsv", table(12));
    const auto twelve = plot({"-o", "twelve.svg", "cohort12.tsv"}, dir.path());
    ASSERT_EQ(twelve.status, 0) << twelve.err;
    EXPECT_EQ(twelve.err, "");
    const std::string image = dir.read("twelve.svg");
    EXPECT_EQ(image.find("/data/cohort"), std::string::npos);
    std::set<std::string> colours, markers;
    for (int f = 10; f < 22; ++f)
        EXPECT_NE(image.find(">rec" + std::to_string(f) + "</text>"), std::string::npos) << f;
    // gnuplot's SVG places each marker as a use of a point symbol, in its colour.
    for (std::size_t at = image.find("xlink:href='#gpPt"); at != std::string::npos;
         at = image.find("xlink:href='#gpPt", at + 1)) {
        const std::size_t end = image.find('\'', at + 12);
        if (image.compare(end, 12, "' transform=") != 0) continue;  // a symbol's definition
        markers.insert(image.substr(at, end - at));
        const std::size_t colour = image.find("color='", end);
        colours.insert(image.substr(colour, image.find('\'', colour + 7) - colour));
    }
    EXPECT_EQ(colours.size(), 12u);
    EXPECT_EQ(markers.size(), 12u);

    // More files: thin lines and the median per scale.
    dir.write("cohort13.tsv", table(13));
    const auto many = plot({"-o", "many.svg", "cohort13.tsv"}, dir.path());
    ASSERT_EQ(many.status, 0) << many.err;
    EXPECT_NE(dir.read("many.svg").find("median of 13 files"), std::string::npos);
}

// The tables of nongauss-scan and nongauss-cohort name their columns: the
// plot takes scale and lambda by name, and draws the same picture as from
// the summary lines of the same runs.
TEST(Plot, TablesWithHeadersAreReadByColumnName) {
    REQUIRE_GNUPLOT();
    ScratchDir dir;
    analyse_example(dir);
    const auto scan = run_tool({"-s", "10,25,60", "example.txt"}, dir.path(), NONGAUSS_SCAN_EXE);
    ASSERT_EQ(scan.status, 0) << scan.err;
    dir.write("scan.tsv", scan.out);
    // The same numbers as summary lines (name, scale, SD, lambda), and in the
    // cohort's columns with its text columns after the numbers.
    std::string lines;
    std::string cohort = "file\tscale_s\tsd_ms\tlambda\tn_beats\tduration_h\tunit\twarnings\n";
    const auto rows = lines_of(scan.out);
    ASSERT_EQ(rows.size(), 4u);
    for (std::size_t i = 1; i < rows.size(); ++i) {
        std::istringstream in(rows[i]);
        std::string name, scale, scale_pt, sd, lambda;
        std::getline(in, name, '\t');
        in >> scale >> scale_pt >> sd >> lambda;
        lines += name + "\t" + scale + "\t" + sd + "\t" + lambda + "\n";
        cohort += name + "\t" + scale + "\t" + sd + "\t" + lambda + "\t18640\t4.0000\tms\tsome; text\n";
    }
    dir.write("summaries.tsv", lines);
    dir.write("cohort.tsv", cohort);
    for (const char* table : {"summaries.tsv", "scan.tsv", "cohort.tsv"}) {
        const auto r = plot({"-t", "same", "-o", std::string(table) + ".svg", table}, dir.path());
        ASSERT_EQ(r.status, 0) << table << r.err;
        EXPECT_EQ(r.err, "") << table;
    }
    EXPECT_TRUE(dir.read("scan.tsv.svg") == dir.read("summaries.tsv.svg"));
    EXPECT_TRUE(dir.read("cohort.tsv.svg") == dir.read("summaries.tsv.svg"));
}

TEST(Plot, OneScaleAZeroLambdaAndTheCLocaleDrawWithoutWarnings) {
    REQUIRE_GNUPLOT();
    ScratchDir dir;
    dir.write("one.tsv", "rec\t 25.0\t  215.9\t0.3627\n");
    dir.write("zero.tsv", "a.txt\t 25.0\t  215.9\t0.0000\nb.txt\t 25.0\t  215.9\t0.0000\n");
    for (const char* input : {"one.tsv", "zero.tsv"}) {
        for (const char* output : {"o.png", "o.svg"}) {
            const auto r = plot({"-o", output, input}, dir.path());
            EXPECT_EQ(r.status, 0) << input;
            EXPECT_EQ(r.err, "") << input;
        }
    }
    // The same in the C locale of a bare machine, where the Greek letters
    // need gnuplot in a UTF-8 locale.
    const auto c = run_shell("env -u LANG -u LANGUAGE LC_ALL=C '" + plot_script() +
                                 "' --writer '" NONGAUSS_WRITE_EXE "' -o c.png one.tsv", dir.path());
    EXPECT_EQ(c.status, 0);
    EXPECT_EQ(c.err, "");
}

TEST(Plot, NothingFromTheInputRunsAsGnuplotCode) {
    REQUIRE_GNUPLOT();
    ScratchDir dir;
    const std::string attack = "1);system(\"touch PWNED\");#";
    dir.write("table.tsv", "rec.txt\t" + attack + "\t200.0\t0.4\n"
                           "rec.txt\t25.0\t200.0\t0.4\n"
                           "rec.txt\t50.0\t200.0\t0.45\n"
                           "x');system('touch PWNED');#.txt\t25.0\t200.0\t0.3\n"
                           "y\\\");system(\"touch PWNED\");#\t25.0\t200.0\t0.3\n"
                           "rec.txt\t25.0\t200.0\t`touch PWNED`\n");
    const auto r = plot({"-o", "t.svg", "-t", "`touch PWNED` ');system('touch PWNED');#", "table.tsv"}, dir.path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(dir.exists("PWNED"));
    EXPECT_EQ(lines_of(r.err), (std::vector<std::string>{
                                   "Warning: table.tsv line 1: a field is not a number, the row is skipped: "
                                   "rec.txt?1);system(\"touch PWNED\");#?200.0?0.4",
                                   "Warning: table.tsv line 6: a field is not a number, the row is skipped: "
                                   "rec.txt?25.0?200.0?`touch PWNED`"}));
    EXPECT_NE(dir.read("t.svg").find(">x');system('touch PWNED');#</text>"), std::string::npos);

    // A density file with the same scale field and a name made to break out.
    const std::string pdf = "x/SD\tP_exp\tP_model\n" + attack + "\t0.1\t0.1\n-1\t0.2\t0.24\n0\t0.4\t0.4\n1\t0.2\t0.24\n";
    dir.write("a');system('touch PWNED');#_PDF.txt", pdf);
    const auto d = plot({"-s", "25", "-o", "d.png", "a');system('touch PWNED');#_PDF.txt"}, dir.path());
    EXPECT_EQ(d.status, 0) << d.err;
    EXPECT_FALSE(dir.exists("PWNED"));
    EXPECT_NE(d.err.find("Warning: a');system('touch PWNED');#_PDF.txt line 2: a field is not a number"),
              std::string::npos) << d.err;
}

// Names of the input and the output that a shell, awk or gnuplot would take
// as code, an option, an assignment or standard input are files like any
// other; the picture replaces a link at its name and takes its mode from the
// umask.
TEST(Plot, NamesAreFilesNeverCodeOptionsOrStandardInput) {
    REQUIRE_GNUPLOT();
    ScratchDir dir;
    analyse_example(dir);
    const std::string density = dir.read("example_PDF.txt");
    const std::string lines = "rec\t25.0\t200.0\t0.3\nrec\t50.0\t200.0\t0.35\n";
    struct Case {
        std::string input, content;
        std::vector<std::string> options;
        std::string picture;
    };
    const std::vector<Case> cases = {
        {"|touch PWNED;x_PDF.txt", density, {"-s", "25", "--"}, "|touch PWNED;x_PDF.png"},
        {"|touch PWNED;t.tsv", lines, {}, "|touch PWNED;t.png"},
        {"rec_scale=50_PDF.txt", density, {}, "rec_scale=50_PDF.png"},
        {"-x_PDF.txt", density, {"-s", "25", "--"}, "-x_PDF.png"},
        {"-", density, {"-s", "25", "-o", "dash.png"}, "dash.png"},
        {"y_PDF.txt", density, {"-s", "25", "-o", "|touch PWNED;y.png"}, "|touch PWNED;y.png"},
        {"z_PDF.txt", density, {"-s", "25", "-o", "-z.png"}, "-z.png"}};
    for (const auto& c : cases) {
        dir.write(c.input, c.content);
        auto args = c.options;
        args.push_back(c.input);
        const auto r = plot(args, dir.path());
        EXPECT_EQ(r.status, 0) << c.input << ": " << r.err;
        EXPECT_EQ(r.err, "") << c.input;
        EXPECT_TRUE(is_png(dir.read(c.picture))) << c.picture;
        EXPECT_FALSE(dir.exists("PWNED")) << c.input;
    }

    dir.write("kept.png", "not to be touched");
    fs::create_symlink("kept.png", dir.path() / "link.png");
    const auto r = run_shell("umask 027 && '" + plot_script() + "' --writer '" NONGAUSS_WRITE_EXE
                             "' -s 25 -o link.png y_PDF.txt", dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(dir.read("kept.png"), "not to be touched");
    EXPECT_FALSE(fs::is_symlink(dir.path() / "link.png"));
    EXPECT_TRUE(is_png(dir.read("link.png")));
    struct stat st {};
    ASSERT_EQ(stat((dir.path() / "link.png").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    for (const auto& entry : fs::directory_iterator(dir.path()))
        EXPECT_NE(entry.path().filename().string().rfind(".nongauss-plot", 0), 0u) << entry.path();
}

// An RR series, a TS file, the cohort's failure log: one line saying what the
// file is and what to give instead (not a warning per row), status 1.
TEST(Plot, FilesOfOtherKindsAreNamedInOneLine) {
    ScratchDir dir;
    analyse_example(dir);
    dir.write("failed.tsv", "file\tscale\tstatus\treason\nbad.txt\t25\t2\tNo data was read!\n");
    dir.write("times.txt", "0.000\t812\n0.812\t790\n1.602\t805\n");
    dir.write("header.txt", "RR (ms)\n812\n790\n");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"example.txt", "example.txt is a series of intervals (one number per line), not results: analyse "
                        "it with nongauss and give its example_PDF.txt"},
        {"header.txt", "header.txt is a series of intervals"},
        {"times.txt", "times.txt is a series of numbers in 2 columns"},
        {"example_TS.txt", "example_TS.txt is a TS file of nongauss (the resampled and coarse-grained "
                           "series), which is not drawn: give the density file of the same run, example_PDF.txt"},
        {"failed.tsv", "failed.tsv is the failure log of nongauss-cohort"}};
    for (const auto& [file, message] : cases) {
        const auto r = plot({"-o", "out.png", file}, dir.path());
        EXPECT_EQ(r.status, 1) << file;
        ASSERT_EQ(lines_of(r.err).size(), 1u) << r.err.substr(0, 500);
        EXPECT_EQ(r.err.rfind("nongauss-plot: " + message, 0), 0u) << r.err;
        EXPECT_FALSE(dir.exists("out.png"));
    }
}

// Every signal that ends the plot and can be caught removes its temporary
// directory. A stand-in for gnuplot holds the script at the point where it
// waits for the picture.
TEST(Plot, SignalsLeaveNothingInTheTemporaryDirectory) {
    ScratchDir dir;
    const fs::path tmp = dir.path() / "tmp", bin = dir.path() / "bin";
    fs::create_directories(tmp);
    fs::create_directories(bin);
    dir.write("bin/gnuplot", "#!/bin/sh\n: > '" + (dir.path() / "started").string() + "'\nexec sleep 30\n");
    fs::permissions(bin / "gnuplot", fs::perms::owner_all);
    dir.write("t.tsv", "rec\t25.0\t200.0\t0.3\n");
    const std::string path = bin.string() + ":" + std::getenv("PATH");
    for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGXFSZ, SIGPIPE}) {
        fs::remove(dir.path() / "started");
        const pid_t pid =
            start_process({"/bin/bash", plot_script(), "--writer", NONGAUSS_WRITE_EXE, "-o", "t.png", "t.tsv"},
                          dir.path(), {{"TMPDIR", tmp.string()}, {"PATH", path}}, dir.path() / "err.txt");
        ASSERT_TRUE(wait_until([&] { return dir.exists("started"); }, 30)) << dir.read("err.txt");
        kill(pid, signal);
        EXPECT_EQ(status_within(pid, 10), 128 + signal) << "signal " << signal << ": " << dir.read("err.txt");
        EXPECT_TRUE(fs::is_empty(tmp)) << "signal " << signal;
        EXPECT_FALSE(dir.exists("t.png"));
    }
}

TEST(Plot, CommandLineConventions) {
    ScratchDir dir;
    const auto help = plot({"--help"}, dir.path());
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: nongauss-plot", 0), 0u);
    const auto version = plot({"--version"}, dir.path());
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("nongauss-plot ") + NONGAUSS_VERSION + "\n");

    dir.write("x_PDF.txt", "x/SD\tP_exp\tP_model\n");
    for (const auto& args : std::vector<std::vector<std::string>>{
             {}, {"--bogus", "x_PDF.txt"}, {"-o"}, {"-o", "x.jpg", "x_PDF.txt"},
             {"a_PDF.txt", "b_PDF.txt"}, {"--lambda", "abc", "x_PDF.txt"}}) {
        const auto r = plot(args, dir.path());
        EXPECT_EQ(r.status, 1) << (args.empty() ? "" : args[0]);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("nongauss-plot: "), std::string::npos) << r.err;
    }
    // Not a usage error, but nothing to draw: status 2 and no image.
    const auto missing = plot({"missing_PDF.txt"}, dir.path());
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("cannot read missing_PDF.txt"), std::string::npos);
    if (on_path("gnuplot")) {
        const auto empty = plot({"x_PDF.txt"}, dir.path());
        EXPECT_EQ(empty.status, 2);
        EXPECT_FALSE(dir.exists("x_PDF.png"));
    }
}

}  // namespace
}  // namespace nongauss
