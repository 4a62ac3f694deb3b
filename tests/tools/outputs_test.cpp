// The companions' files go through the one output writer: nongauss-clean's
// and nongauss-synth's -o, nongauss-scan's --pdf files. An output is never
// an input, a link is replaced, a failed, interrupted or concurrent write
// leaves a complete file, and no temporary file outlives a signal.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/strace.hpp"
#include "tools/companions.hpp"

namespace nongauss {
namespace {

namespace fs = std::filesystem;
using namespace nongauss::testing;

RunResult clean(const std::vector<std::string>& args, const ScratchDir& dir) {
    return run_tool(args, dir.path(), NONGAUSS_CLEAN_EXE);
}

RunResult in_shell(const std::string& command, const ScratchDir& dir) { return run_shell(command, dir.path()); }

mode_t mode_of(const fs::path& p) {
    struct stat st {};
    return lstat(p.c_str(), &st) == 0 ? st.st_mode : 0;
}

TEST(CleanOutputs, AnOutputThatIsTheInputIsRefusedAndALinkIsReplaced) {
    ScratchDir dir;
    const std::string raw = irregular_ms(400, 780, 40);
    dir.write("rec.txt", raw);
    fs::create_symlink("rec.txt", dir.path() / "link.txt");
    for (const char* out : {"rec.txt", "link.txt", "./rec.txt"}) {
        const RunResult r = clean({"-o", out, "rec.txt"}, dir);
        EXPECT_EQ(r.status, 1) << out;
        EXPECT_EQ(r.err, std::string("The output file ") + out + " is the input file rec.txt: nothing was written!\n");
        EXPECT_EQ(dir.read("rec.txt"), raw);
    }
    EXPECT_TRUE(fs::is_symlink(dir.path() / "link.txt"));

    dir.write("victim.txt", "precious\n");
    fs::create_symlink("victim.txt", dir.path() / "out.txt");
    const mode_t old_mask = umask(022);
    const RunResult r = clean({"-o", "out.txt", "rec.txt"}, dir);
    umask(old_mask);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(dir.read("victim.txt"), "precious\n");
    EXPECT_EQ(dir.read("out.txt"), clean({"rec.txt"}, dir).out);
    EXPECT_EQ(mode_of(dir.path() / "out.txt") & 07777, 0644u);
    EXPECT_TRUE(hidden_files(dir.path()).empty());
}

TEST(CleanOutputs, AFailedOrInterruptedCleanLeavesThePreviousOutputWhole) {
    NONGAUSS_REQUIRE_STRACE();
    ScratchDir dir;
    dir.write("rec.txt", irregular_ms(2000, 780, 40));  // about 8 KB cleaned
    const std::string exe = NONGAUSS_CLEAN_EXE;
    // The first write of the series to its temporary file.
    run_traced({"-e", "trace=openat,write"}, exe, {"-o", "out.txt", "rec.txt"}, dir.path(), ".trace");
    const std::string first = "when=" + std::to_string(first_write_to(dir.read(".trace"), "out.txt"));
    fs::remove(dir.path() / ".trace");
    const struct {
        std::string what;
        std::vector<std::string> strace;  // empty: `command` in a shell
        std::string command;
        int status;
    } cases[] = {
        {"a full disk", {"-e", "inject=write:error=ENOSPC:" + first}, "", 1},
        {"SIGTERM", {"-e", "inject=write:signal=SIGTERM:" + first}, "", -1},
        {"a file-size limit", {}, "ulimit -f 4; exec '" + exe + "' -o out.txt rec.txt", -1},
        {"a file-size limit, XFSZ ignored", {}, "trap '' XFSZ; ulimit -f 4; exec '" + exe + "' -o out.txt rec.txt", 1},
    };
    for (const auto& c : cases) {
        dir.write("out.txt", "previous\n");
        const RunResult r = c.strace.empty() ? in_shell(c.command, dir)
                                             : run_traced(c.strace, exe, {"-o", "out.txt", "rec.txt"}, dir.path());
        EXPECT_EQ(r.status, c.status) << c.what << "\n" << r.err;
        if (c.status == 1) {
            EXPECT_TRUE(has(r.err, "Error writing out.txt!\n")) << c.what << "\n" << r.err;
        }
        EXPECT_EQ(dir.read("out.txt"), "previous\n") << c.what;
        EXPECT_TRUE(hidden_files(dir.path()).empty()) << c.what;
    }
}

TEST(CleanOutputs, TwoCleansIntoOneFileNeverInterleave) {
    NONGAUSS_REQUIRE_STRACE();
    ScratchDir dir;
    dir.write("short.txt", irregular_ms(300, 780, 40));
    dir.write("long.txt", irregular_ms(3000, 780, 40, 7));
    const std::string short_out = clean({"short.txt"}, dir).out, long_out = clean({"long.txt"}, dir).out;
    // The short clean stops for two seconds at its first write; the long one
    // runs whole meanwhile. Writing into one file, the short text would land
    // over the long one's head.
    const std::vector<std::string> args = {"-o", "out.txt", "short.txt"};
    run_traced({"-e", "trace=openat,write"}, NONGAUSS_CLEAN_EXE, args, dir.path(), ".trace");
    const std::string delay = "inject=write:delay_enter=2000000:when=" +
                              std::to_string(first_write_to(dir.read(".trace"), "out.txt"));
    fs::remove(dir.path() / ".trace");
    fs::remove(dir.path() / "out.txt");
    std::optional<RunResult> slow;
    std::thread first([&] { slow = run_traced({"-e", delay}, NONGAUSS_CLEAN_EXE, args, dir.path()); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (hidden_files(dir.path()).empty() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    fs::create_directory(dir.path() / "b");  // the second run's captures apart
    const RunResult fast = run_tool({"-o", "../out.txt", "../long.txt"}, dir.path() / "b", NONGAUSS_CLEAN_EXE);
    first.join();
    EXPECT_EQ(fast.status, 0) << fast.err;
    EXPECT_EQ(slow->status, 0);
    const std::string out = dir.read("out.txt");
    EXPECT_TRUE(out == short_out || out == long_out) << out.size() << " bytes";
}

TEST(SynthOutputs, ALinkIsReplacedAndTheFirstFailedWriteEndsTheRun) {
    NONGAUSS_REQUIRE_STRACE();
    ScratchDir dir;
    dir.write("victim.txt", "precious\n");
    fs::create_symlink("victim.txt", dir.path() / "s.txt");
    ASSERT_EQ(run_tool({"--hours", "0.2", "-o", "s.txt"}, dir.path(), NONGAUSS_SYNTH_EXE).status, 0);
    EXPECT_EQ(dir.read("victim.txt"), "precious\n");
    EXPECT_FALSE(fs::is_symlink(dir.path() / "s.txt"));

    // The second write to the file fails: no write follows it, the previous
    // file stays.
    const std::vector<std::string> args = {"--hours", "1", "-o", "s.txt"};
    run_traced({"-e", "trace=openat,write"}, NONGAUSS_SYNTH_EXE, args, dir.path(), ".trace");
    const int second = first_write_to(dir.read(".trace"), "s.txt") + 1;
    dir.write("s.txt", "previous\n");
    const RunResult r = run_traced({"-e", "trace=write", "-e", "inject=write:error=ENOSPC:when=" + std::to_string(second)},
                                   NONGAUSS_SYNTH_EXE, args, dir.path(), ".trace");
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(has(r.err, "nongauss-synth: error while writing s.txt\n")) << r.err;
    EXPECT_TRUE(dir.read("s.txt") == "previous\n");
    std::istringstream trace(dir.read(".trace"));
    std::string failed_call;  // "write(FD,"
    int after_failure = -1;
    for (std::string line; std::getline(trace, line);) {
        if (has(line, "(INJECTED)")) {
            failed_call = line.substr(line.find("write("), line.find(',') - line.find("write(") + 1);
            after_failure = 0;
        } else if (after_failure >= 0 && has(line, failed_call)) {
            ++after_failure;
        }
    }
    EXPECT_EQ(after_failure, 0) << failed_call;
    fs::remove(dir.path() / ".trace");
    EXPECT_TRUE(hidden_files(dir.path()).empty());
}

TEST(ScanOutputs, ThePdfDirectoryIsMadeAndNoPdfFileReplacesAnInput) {
    ScratchDir dir;
    synthesize(dir, "r.txt", {"--hours", "1"});
    const mode_t old_mask = umask(022);
    RunResult r = run_tool({"-s", "25", "--pdf", "out/sub", "r.txt"}, dir.path(), NONGAUSS_SCAN_EXE);
    umask(old_mask);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(mode_of(dir.path() / "out/sub/r_25s_PDF.txt") & 07777, 0644u);

    dir.write("afile", "x\n");
    r = run_tool({"-s", "25", "--pdf", "afile/sub", "r.txt"}, dir.path(), NONGAUSS_SCAN_EXE);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "nongauss-scan: cannot make the directory afile/sub: Not a directory\n");
    EXPECT_EQ(r.out, "");

    // The input r_25s_PDF.txt is where r.txt's density at 25 s would go.
    dir.write("r_25s_PDF.txt", dir.read("r.txt"));
    r = run_tool({"-s", "10,25", "--pdf", ".", "r.txt", "r_25s_PDF.txt"}, dir.path(), NONGAUSS_SCAN_EXE);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "nongauss-scan: the PDF file ./r_25s_PDF.txt is one of the input files: nothing was written\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(dir.read("r_25s_PDF.txt"), dir.read("r.txt"));
    EXPECT_FALSE(dir.exists("r_10s_PDF.txt"));
}

TEST(ScanOutputs, ASignalAtAPdfFileLeavesNoTemporaryFile) {
    NONGAUSS_REQUIRE_STRACE();
    ScratchDir dir;
    synthesize(dir, "a.txt", {"--hours", "1"});
    synthesize(dir, "b.txt", {"--hours", "1", "--seed", "2"});
    for (const char* s : {"SIGTERM", "SIGINT", "SIGUSR1", "SIGPIPE"}) {
        const RunResult r = run_traced({"-e", std::string("inject=rename:signal=") + s + ":when=1"}, NONGAUSS_SCAN_EXE,
                                       {"-j", "2", "-s", "5,10,25", "--pdf", ".", "a.txt", "b.txt"}, dir.path());
        EXPECT_EQ(r.status, -1) << s;
        EXPECT_TRUE(hidden_files(dir.path()).empty()) << s;
        for (const auto& e : fs::directory_iterator(dir.path())) {  // a PDF file in place is whole
            if (has(e.path().filename().string(), "_PDF.txt")) {
                EXPECT_EQ(lines_of(slurp(e.path())).size(), 101u) << e.path();
            }
        }
    }
}

}  // namespace
}  // namespace nongauss
