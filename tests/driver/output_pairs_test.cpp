// The TS and PDF files of nongauss are one pair: whatever interrupts or fails
// a run, and however two runs on the same outputs overlap, the names never
// hold files of two runs, and no temporary file outlives a signal. Each step
// of the commit is failed, delayed or interrupted exactly through strace.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/run_tool.hpp"
#include "support/strace.hpp"

namespace nongauss {
namespace {

namespace fs = std::filesystem;
using nongauss::testing::call_number;
using nongauss::testing::hidden_files;
using nongauss::testing::run_tool;
using nongauss::testing::run_traced;
using nongauss::testing::RunResult;
using nongauss::testing::ScratchDir;

void remove_hidden(const fs::path& dir) {
    for (const auto& name : hidden_files(dir)) fs::remove(dir / name);
}

// What a name holds: "old", "new" or "none" (or "other").
std::string version(const ScratchDir& dir, const std::string& name, const std::string& old_text,
                    const std::string& new_text) {
    if (!dir.exists(name)) return "none";
    const std::string text = dir.read(name);
    return text == old_text ? "old" : text == new_text ? "new" : "other";
}

// A recording with the pair of an old run (-s 50) in place, and the files a
// new run (-s 20) makes.
struct Pairs {
    ScratchDir dir;
    std::string old_ts, old_pdf, new_ts, new_pdf;
    const std::vector<std::string> new_run = {"-s", "20", "rec.txt"};
    Pairs() {
        dir.write("rec.txt", nongauss::testing::irregular_ms(3000));
        EXPECT_EQ(run_tool(new_run, dir.path()).status, 0);
        new_ts = dir.read("rec_TS.txt"), new_pdf = dir.read("rec_PDF.txt");
        reset();
        old_ts = dir.read("rec_TS.txt"), old_pdf = dir.read("rec_PDF.txt");
    }
    void reset() {
        remove_hidden(dir.path());
        EXPECT_EQ(run_tool({"-s", "50", "rec.txt"}, dir.path()).status, 0);
    }
    // "TS,PDF", each old, new or none.
    std::string state() const {
        return version(dir, "rec_TS.txt", old_ts, new_ts) + "," + version(dir, "rec_PDF.txt", old_pdf, new_pdf);
    }
    RunResult traced(const std::string& inject) const {
        return run_traced({"-e", "inject=" + inject}, NONGAUSS_EXE, new_run, dir.path());
    }
    // The number of the openat call that makes the PDF file's temporary file.
    int pdf_open_number() const {
        run_traced({"-e", "trace=openat"}, NONGAUSS_EXE, new_run, dir.path(), ".trace");
        const int n = call_number(dir.read(".trace"), "openat", ".rec_PDF.txt.");
        fs::remove(dir.path() / ".trace");
        return n;
    }
};

// Whatever stops or fails a run at a point of its own, the names hold one
// pair. With an old pair in place the commit's steps are: rename #1 moves
// the old PDF file aside, link #1 keeps the old TS file, rename #2 puts the
// new TS file in place, rename #3 the new PDF file. Status -1: ended by a
// signal; then, but after SIGKILL, no hidden file is left either.
TEST(Pairs, WhateverStopsOrFailsARunTheNamesHoldOnePair) {
    NONGAUSS_REQUIRE_STRACE();
    Pairs p;
    const std::string pdf_open = "when=" + std::to_string(p.pdf_open_number());  // as the PDF file is made
    struct Case {
        std::string at;  // SYSCALL:ACTION:when=N
        int status;
        std::string state;
        std::string message;
    };
    std::vector<Case> cases = {
        {"rename:signal=SIGKILL:when=1", -1, "old,old", ""},
        {"link:signal=SIGKILL:when=1", -1, "old,none", ""},
        {"rename:signal=SIGKILL:when=2", -1, "old,none", ""},
        {"rename:signal=SIGKILL:when=3", -1, "new,none", ""},
        {"rename:error=EIO:when=1", 1, "old,old", "Error while writing output file rec_PDF.txt!\n"},
        {"rename:error=EIO:when=2", 1, "old,old", "Error while writing output file rec_TS.txt!\n"},
        {"rename:error=EIO:when=3", 1, "old,old", "Error while writing output file rec_PDF.txt!\n"},
        {"rename:error=EXDEV:when=3", 1, "old,old", "Error while writing output file rec_PDF.txt!\n"},
        {"openat:error=ENOSPC:" + pdf_open, 1, "old,old", "No output file rec_PDF.txt!\n"},
    };
    // Another signal while the pair is put in place waits until it is; every
    // signal before that (here as the PDF file is made, the TS file's
    // temporary file complete) removes the temporary files.
    for (const char* s : {"SIGTERM", "SIGINT", "SIGHUP", "SIGQUIT", "SIGUSR1"})
        cases.push_back({std::string("rename:signal=") + s + ":when=2", -1, "new,new", ""});
    for (const char* s : {"SIGINT", "SIGTERM", "SIGHUP", "SIGQUIT", "SIGUSR1", "SIGUSR2", "SIGALRM", "SIGXFSZ", "SIGPIPE"})
        cases.push_back({"openat:signal=" + std::string(s) + ":" + pdf_open, -1, "old,old", ""});
    for (const Case& c : cases) {
        p.reset();
        const RunResult r = p.traced(c.at);
        EXPECT_EQ(r.status, c.status) << c.at << "\n" << r.err;
        EXPECT_EQ(p.state(), c.state) << c.at;
        EXPECT_TRUE(nongauss::testing::has(r.err, c.message)) << c.at << "\n" << r.err;
        if (c.at.find("KILL") == std::string::npos) {
            EXPECT_TRUE(hidden_files(p.dir.path()).empty()) << c.at;
        }
    }

    // A signal the parent ignores stays ignored: the run completes. A real
    // file-size limit ends the run by SIGXFSZ and leaves nothing.
    const std::string exe = std::string("'") + NONGAUSS_EXE + "' -s 20 rec.txt";
    for (const auto& [command, state] : std::vector<std::pair<std::string, std::string>>{
             {"trap '' HUP; ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0 exec strace -f -qq -o /dev/null -e inject=openat:signal=SIGHUP:" + pdf_open + " " + exe,
              "new,new"},
             {"ulimit -f 64; exec " + exe, "old,old"}}) {
        p.reset();
        const RunResult r = nongauss::testing::run_tool({"-c", command}, p.dir.path(), "/bin/sh");
        EXPECT_EQ(r.status, state == "new,new" ? 0 : -1) << command;
        EXPECT_EQ(p.state(), state) << command;
        EXPECT_TRUE(hidden_files(p.dir.path()).empty()) << command;
    }
}

TEST(Pairs, AReadOnlyPreviousPdfFileEndsTheRunAndKeepsThePair) {
    Pairs p;
    // As root the file would still be writable: the run goes as an
    // unprivileged user then, with a copy of the tool it can reach.
    fs::permissions(p.dir.path(), fs::perms::all);
    fs::permissions(p.dir.path() / "rec_TS.txt", fs::perms::all & ~(fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec));
    fs::permissions(p.dir.path() / "rec_PDF.txt", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const fs::path exe = p.dir.path() / ".nongauss";
    fs::copy_file(NONGAUSS_EXE, exe);
    const std::string command = (geteuid() == 0 ? "exec setpriv --reuid=65534 --regid=65534 --clear-groups '" : "exec '") +
                                exe.string() + "' -s 20 rec.txt";
    const RunResult r = nongauss::testing::run_tool({"-c", command}, p.dir.path(), "/bin/sh");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_TRUE(nongauss::testing::has(r.err, "No output file rec_PDF.txt!\n")) << r.err;
    EXPECT_EQ(p.state(), "old,old");
    fs::remove(exe);
    EXPECT_TRUE(hidden_files(p.dir.path()).empty());
}

TEST(Pairs, TwoRunsOnTheSameOutputsTakeTurns) {
    NONGAUSS_REQUIRE_STRACE();
    Pairs p;
    // Run A stops for a while just before it puts its PDF file in place (its
    // TS file is in place, the old PDF file aside); run B, at another scale,
    // comes in then. B waits for A's commit: the PDF file never joins the
    // other run's TS file, and B's pair ends in place.
    std::optional<RunResult> a;
    std::thread first([&] { a = p.traced("rename:delay_enter=1500000:when=3"); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    // (The old PDF file goes aside a moment before the new TS file is in
    // place: wait for both.)
    while (p.state() != "new,none" && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(p.state(), "new,none");
    fs::create_directory(p.dir.path() / "b");  // B's captures apart from A's
    const RunResult b = run_tool({"-s", "50", (p.dir.path() / "rec.txt").string()}, p.dir.path() / "b");
    first.join();
    EXPECT_EQ(a->status, 0) << a->err;
    EXPECT_EQ(b.status, 0) << b.err;
    EXPECT_EQ(p.state(), "old,old");  // B's scale is the old pair's
    EXPECT_TRUE(hidden_files(p.dir.path()).empty());
}

TEST(Pairs, StandardInputAsTheInputMakesNoFileInDev) {
    ScratchDir dir;
    dir.write("rec.txt", nongauss::testing::irregular_ms(600));
    const RunResult r =
        nongauss::testing::run_tool({"-c", std::string("exec '") + NONGAUSS_EXE + "' /dev/stdin < rec.txt"}, dir.path(), "/bin/sh");
    const bool made = fs::exists("/dev/stdin_TS.txt") || fs::exists("/dev/stdin_PDF.txt");
    fs::remove("/dev/stdin_TS.txt"), fs::remove("/dev/stdin_PDF.txt");
    EXPECT_FALSE(made);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(nongauss::testing::has(r.err, "number of input data: 600\n")) << r.err;
    EXPECT_TRUE(nongauss::testing::has(r.err, "No output file /dev/stdin_TS.txt!\n")) << r.err;
    EXPECT_EQ(r.out, "");
}

}  // namespace
}  // namespace nongauss
