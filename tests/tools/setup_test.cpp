// scripts/setup and the README's Quick start: what a bare machine gets, as
// root or not, without installing anything (dry runs); configuring the tool
// alone needs no GoogleTest.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tools/companions.hpp"

namespace nongauss {
namespace {

namespace fs = std::filesystem;
using namespace nongauss::testing;

using nongauss::testing::has;

RunResult setup(const std::vector<std::string>& args) {
    ScratchDir dir;
    std::vector<std::string> words = {source_path("scripts/setup")};
    words.insert(words.end(), args.begin(), args.end());
    return run_tool(words, dir.path(), "/bin/bash");
}

TEST(Setup, ABareMachineGetsEveryPackageOfItsLevel) {
    // Running every program needs gnuplot (the plot) and GNU parallel with the
    // bzip2 it runs (the cohort) besides the compiler, FFTW (the
    // surrogates) and Nettle (the report's SHA-256).
    const std::vector<std::string> tool = {"cmake", "g++", "make", "gnuplot-nox", "fonts-dejavu-core",
                                           "parallel", "bzip2", "libfftw3-dev", "nettle-dev"};
    const std::vector<std::string> tests = {"libgtest-dev", "man-db", "groff-base", "strace", "python3-dev",
                                            "python3-pybind11", "python3-numpy", "python3-pytest",
                                            "python3-pandas", "python3-matplotlib", "python3-venv",
                                            "python3-pip", "chromium"};
    // The daemons the cluster tests start themselves.
    const std::vector<std::string> cluster = {"slurm-wlm", "munge", "openssh-server", "openssh-client"};
    for (const std::string level : {"tool", "tests", "cluster", "ci"}) {
        const RunResult r = setup({"--dry-run", "--as-if-bare", level});
        ASSERT_EQ(r.status, 0) << r.err;
        const std::vector<std::string> lines = lines_of(r.out);
        ASSERT_GE(lines.size(), 3u) << r.out;
        EXPECT_EQ(lines[0].rfind("setup: installing for '" + level + "': cmake g++ make", 0), 0u) << r.out;
        EXPECT_TRUE(has(lines[1], "apt-get update")) << r.out;
        EXPECT_TRUE(has(lines[2], "apt-get install -y")) << r.out;
        for (const auto& p : tests) EXPECT_EQ(has(lines[2], " " + p), level != "tool") << level << " " << p;
        for (const auto& p : tool) EXPECT_TRUE(has(lines[2], " " + p)) << p;
        for (const auto& p : cluster)
            EXPECT_EQ(has(lines[2], " " + p), level == "cluster" || level == "ci") << level << " " << p;
        // clang, and its runtimes under the name of its major version.
        EXPECT_EQ(has(r.out, " clang"), level == "ci");
        EXPECT_EQ(has(r.out, "libclang-rt-"), level == "ci");
    }
    // On this machine: only what is missing, and nothing when all is there.
    const RunResult here = setup({"-n", "tool"});
    EXPECT_EQ(here.status, 0);
    EXPECT_EQ(here.out.rfind("setup: ", 0), 0u) << here.out;
    const RunResult bad = setup({"--bogus"});
    EXPECT_EQ(bad.status, 1);
    EXPECT_TRUE(has(bad.err, "unknown argument --bogus"));
}

TEST(Setup, WithoutRootItUsesSudoOrSaysWhatToInstall) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to run as another user";
    NONGAUSS_REQUIRE_PROGRAM("setpriv", "util-linux");
    // A copy the unprivileged user can read (a source tree under /root is out of its reach).
    ScratchDir dir;
    fs::copy_file(source_path("scripts/setup"), dir.path() / "setup");
    fs::permissions(dir.path() / "setup", fs::perms::owner_all | fs::perms::group_read |
                                              fs::perms::group_exec | fs::perms::others_read |
                                              fs::perms::others_exec);
    const bool sudo = on_path("sudo");
    const auto as_nobody = [&](const std::string& args) {
        return run_shell("setpriv --reuid=65534 --regid=65534 --clear-groups bash ./setup " + args, dir.path());
    };
    // Nothing missing: no root needed (the Quick start's && chain goes on).
    if (has(setup({"-n", "tests"}).out, "nothing to install")) {
        const RunResult done = as_nobody("tests");
        EXPECT_EQ(done.status, 0) << done.err;
        EXPECT_EQ(done.out, "setup: nothing to install for 'tests'\n");
    }
    const RunResult dry = as_nobody("--dry-run --as-if-bare tool");
    EXPECT_EQ(dry.status, 0) << dry.err;
    EXPECT_TRUE(has(dry.out, sudo ? "+ sudo env DEBIAN_FRONTEND=noninteractive apt-get install"
                                  : "+ env DEBIAN_FRONTEND=noninteractive apt-get install"))
        << dry.out;
    if (sudo) return;
    const RunResult real = as_nobody("--as-if-bare tool");
    EXPECT_EQ(real.status, 1);
    EXPECT_EQ(real.err,
              "setup: not root and no sudo; as root run: apt-get install cmake g++ make gnuplot-nox "
              "fonts-dejavu-core parallel bzip2 libfftw3-dev nettle-dev\n");
}

TEST(Setup, TheQuickStartCommandsSetUpThenBuildOnlyWhatTheyRun) {
    const std::string readme = slurp(source_path("README.md"));
    const std::size_t block = readme.find("```sh\n", readme.find("## Quick start"));
    ASSERT_NE(block, std::string::npos);
    const std::vector<std::string> commands =
        lines_of(readme.substr(block + 6, readme.find("```", block + 6) - block - 6));
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0].rfind("scripts/setup tool && cmake -S . -B build -DNONGAUSS_BUILD_TESTS=OFF && "
                                "cmake --build build -j2 --target nongauss && ./build/nongauss ", 0),
              0u) << commands[0];
    EXPECT_EQ(commands[1].rfind("scripts/setup && cmake -S . -B build -DNONGAUSS_BUILD_TESTS=ON && ", 0), 0u)
        << commands[1];
    // Their setup steps, dry.
    for (const std::string& command : commands) {
        const std::string step = command.substr(0, command.find(" &&"));
        const RunResult r = run_shell("cd " + std::string(NONGAUSS_SOURCE_DIR) + " && " + step + " --dry-run",
                                      fs::temp_directory_path());
        EXPECT_EQ(r.status, 0) << step << r.err;
    }

    // Configuring without the tests needs no GoogleTest; with them it does.
    for (const bool tests : {false, true}) {
        ScratchDir dir;
        const RunResult r = run_tool({"-S", NONGAUSS_SOURCE_DIR, "-B", (dir.path() / "b").string(),
                                      std::string("-DNONGAUSS_BUILD_TESTS=") + (tests ? "ON" : "OFF"),
                                      "-DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON"},
                                     dir.path(), NONGAUSS_CMAKE_COMMAND);
        EXPECT_EQ(r.status == 0, !tests) << r.out << r.err;
    }
}

}  // namespace
}  // namespace nongauss
