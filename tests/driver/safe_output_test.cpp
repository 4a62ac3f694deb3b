// End-to-end: the tool's outputs never destroy or expose data. Links at an
// output name are replaced, never written through; an interrupted run leaves
// the previous complete pair; an output is never the input; closed standard
// streams are not taken by output files; names are derived from the final
// path component and reach the summary line as one field.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/run_tool.hpp"
#include "support/sanitizers.hpp"

namespace nongauss {
namespace {

namespace fs = std::filesystem;
using nongauss::testing::hidden_files;
using nongauss::testing::lines_of;
using nongauss::testing::run_tool;
using nongauss::testing::ScratchDir;

std::string intervals_ms(int n) { return nongauss::testing::irregular_ms(n); }

TEST(SafeOutput, LinksAtTheOutputNamesAreReplacedNotWrittenThrough) {
    ScratchDir dir;
    fs::create_directory(dir.path() / "victim");
    dir.write("victim/important.txt", "precious\n");
    dir.write("victim/other.txt", "also precious\n");
    dir.write("rec.txt", intervals_ms(600));
    fs::create_symlink("victim/important.txt", dir.path() / "rec_TS.txt");
    fs::create_hard_link(dir.path() / "victim/other.txt", dir.path() / "rec_PDF.txt");

    const auto r = run_tool({"rec.txt"}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(dir.read("victim/important.txt"), "precious\n");
    EXPECT_EQ(dir.read("victim/other.txt"), "also precious\n");
    EXPECT_FALSE(fs::is_symlink(dir.path() / "rec_TS.txt"));
    EXPECT_EQ(fs::hard_link_count(dir.path() / "rec_PDF.txt"), 1u);
    EXPECT_EQ(lines_of(dir.read("rec_PDF.txt")).size(), 101u);
    EXPECT_TRUE(hidden_files(dir.path()).empty());

    // New files get the permissions the umask allows, not the temporary
    // file's private ones.
    const mode_t old_mask = umask(022);
    fs::remove(dir.path() / "rec_TS.txt");
    ASSERT_EQ(run_tool({"rec.txt"}, dir.path()).status, 0);
    umask(old_mask);
    struct stat st {};
    ASSERT_EQ(stat((dir.path() / "rec_TS.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

// Runs the tool in `dir`, then sends `signal` after `delay`; returns the wait status.
int run_and_signal(const fs::path& dir, const std::vector<std::string>& args, int signal,
                   std::chrono::milliseconds delay) {
    testing::RunOptions options;
    options.signal = signal;
    options.signal_after_ms = static_cast<long>(delay.count());
    options.discard_output = true;
    return testing::run_process(args, dir, options).wait_status;
}

TEST(SafeOutput, AnInterruptedRunLeavesThePreviousCompletePair) {
    ScratchDir dir;
    dir.write("rec.txt", intervals_ms(120000));  // about a day
    ASSERT_EQ(run_tool({"-s", "50", "rec.txt"}, dir.path()).status, 0);
    const std::string old_ts = dir.read("rec_TS.txt"), old_pdf = dir.read("rec_PDF.txt");
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(run_tool({"-s", "20", "-n", "300000", "rec.txt"}, dir.path()).status, 0);
    const auto run_ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    const std::string new_ts = dir.read("rec_TS.txt"), new_pdf = dir.read("rec_PDF.txt");
    ASSERT_NE(old_ts, new_ts);
    // From the start of a run to past its end, the last ones around the
    // moment both files are put in place (a sanitizer's build, several times
    // slower, takes four of them, the last two included).
    std::vector<std::chrono::milliseconds> delays;
    const bool sanitized = testing::address_sanitizer || testing::thread_sanitizer;
    for (int k = 1; k <= 10; ++k)
        if (!sanitized || k % 3 == 0 || k == 10) delays.push_back(run_ms * k / 9);

    // Signals at several points of a run: whatever the point, the names hold
    // one complete pair, the old one or the new one.
    for (const int signal : {SIGKILL, SIGTERM, SIGINT, SIGHUP}) {
        for (const auto delay : delays) {
            const long ms = static_cast<long>(delay.count());
            ASSERT_EQ(run_tool({"-s", "50", "rec.txt"}, dir.path()).status, 0);
            const int status = run_and_signal(dir.path(), {"-s", "20", "-n", "300000", "rec.txt"}, signal, delay);
            const std::string ts = dir.read("rec_TS.txt"), pdf = dir.read("rec_PDF.txt");
            const bool old_pair = ts == old_ts && pdf == old_pdf;
            const bool new_pair = ts == new_ts && pdf == new_pdf;
            if (signal == SIGKILL) {
                // Nothing can hold SIGKILL off while the pair is put in place:
                // each file is one complete version, or the PDF file is gone
                // (the previous one moved aside, the new one not yet in place).
                const bool pdf_gone = !dir.exists("rec_PDF.txt");
                EXPECT_TRUE((ts == old_ts || ts == new_ts) && (pdf == old_pdf || pdf == new_pdf || pdf_gone))
                    << ms << " ms";
            } else {
                EXPECT_TRUE(old_pair || new_pair) << "signal " << signal << " after " << ms << " ms";
            }
            if (signal != SIGKILL) {  // the handler removes its temporary files
                EXPECT_TRUE(hidden_files(dir.path()).empty()) << "signal " << signal << " after " << ms << " ms";
                if (!new_pair) {
                    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal);
                }
            }
            for (const auto& name : hidden_files(dir.path())) fs::remove(dir.path() / name);
        }
    }
}

TEST(SafeOutput, AnOutputThatIsTheInputEndsTheRunBeforeAnythingIsWritten) {
    ScratchDir dir;
    const std::string text = intervals_ms(600);
    dir.write("rec.txt", text);
    fs::create_symlink("rec.txt", dir.path() / "rec_TS.txt");  // the TS output would be the input
    auto r = run_tool({"rec.txt"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "The output file rec_TS.txt is the input file rec.txt: nothing was written!\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(dir.read("rec.txt"), text);
    EXPECT_TRUE(fs::is_symlink(dir.path() / "rec_TS.txt"));
    EXPECT_FALSE(dir.exists("rec_PDF.txt"));

    // The same file reached through another path and a hard link.
    fs::create_directory(dir.path() / "d");
    dir.write("d/x.txt", text);
    fs::create_hard_link(dir.path() / "d/x.txt", dir.path() / "d/x_PDF.txt");
    r = run_tool({"./d/../d/x.txt"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("is the input file ./d/../d/x.txt"), std::string::npos) << r.err;
    EXPECT_EQ(dir.read("d/x.txt"), text);
    EXPECT_FALSE(dir.exists("d/x_TS.txt"));
}

TEST(SafeOutput, ClosedStandardStreamsAreNotTakenByTheOutputs) {
    ScratchDir dir;
    dir.write("rec.txt", intervals_ms(600));
    const std::string exe = std::string("'") + NONGAUSS_EXE + "'";
    const std::string command = "cd '" + dir.path().string() + "' && " + exe + " rec.txt 2>&- >&- <&-";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(dir.read("rec_TS.txt").rfind("time(sec)\tRRI(ms)\tCG_series(ms)\n", 0), 0u);
    EXPECT_EQ(dir.read("rec_PDF.txt").rfind("x/SD\tP_exp\tP_model\n", 0), 0u);
}

TEST(SafeOutput, NamesComeFromTheFinalComponentAndStayOneField) {
    ScratchDir dir;
    const std::string text = intervals_ms(600);
    fs::create_directory(dir.path() / "data");
    dir.write("data/rec.txt", text);
    auto r = run_tool({"./data/rec.txt"}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, 11), "./data/rec\t");
    EXPECT_TRUE(dir.exists("data/rec_TS.txt") && dir.exists("data/rec_PDF.txt"));
    EXPECT_FALSE(dir.exists("_TS.txt"));

    // Dated names no longer collide.
    dir.write("S01_2024.01.05.txt", text);
    dir.write("S01_2024.01.06.txt", text);
    ASSERT_EQ(run_tool({"S01_2024.01.05.txt"}, dir.path()).status, 0);
    ASSERT_EQ(run_tool({"S01_2024.01.06.txt"}, dir.path()).status, 0);
    EXPECT_TRUE(dir.exists("S01_2024.01.05_TS.txt") && dir.exists("S01_2024.01.06_TS.txt"));

    // Tabs, newlines, carriage returns and backslashes are escaped.
    const std::string odd = "a\tb\nc\rd\\e.txt";
    dir.write(odd, text);
    r = run_tool({odd}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, 14), "a\\tb\\nc\\rd\\\\e\t");
    EXPECT_EQ(lines_of(r.out).size(), 1u);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\t'), 3);
    EXPECT_TRUE(dir.exists("a\tb\nc\rd\\e_TS.txt"));
}

TEST(SafeOutput, DoubleDashHelpVersionAndUnreadableInputs) {
    ScratchDir dir;
    dir.write("-1.txt", intervals_ms(600));
    auto r = run_tool({"--", "-1.txt"}, dir.path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, 3), "-1\t");
    EXPECT_NE(r.err.find("Resamping with cubic spline"), std::string::npos);  // -1 was no option

    r = run_tool({"--help"}, dir.path(), NONGAUSS_EXE, "nongauss");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.rfind("usage: nongauss [OPTIONS ...] RRI_data_filename\nOPTION:\n", 0), 0u);
    const auto usage_error = run_tool({"-x", "f"}, dir.path(), NONGAUSS_EXE, "nongauss");
    EXPECT_EQ(r.out, usage_error.err);  // the same text, on the other stream

    r = run_tool({"--version"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, std::string("nongauss ") + NONGAUSS_VERSION + "\n");

    fs::create_symlink("loop", dir.path() / "loop");
    r = run_tool({"loop"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Cannot open input file loop: Too many levels of symbolic links\n");
    r = run_tool({"absent.txt"}, dir.path());
    EXPECT_EQ(r.err, "File absent.txt not found!\n");
}

}  // namespace
}  // namespace nongauss
