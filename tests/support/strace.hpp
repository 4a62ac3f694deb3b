#pragma once

// Runs a program under strace to fail, delay or interrupt one system call
// deterministically (`-e inject=...`): the seam of the tests of what a
// failed rename, a full disk or a signal at an exact point leaves behind.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/run_tool.hpp"

namespace nongauss::testing {

/// Whether strace is installed and may trace here; `why` says what is
/// missing otherwise.
bool strace_usable(std::string& why);

/// Runs `exe` with `args` in `dir` under `strace -f` with the given strace
/// options (such as {"-e", "inject=rename:error=EIO:when=2"}); the trace
/// itself goes to `trace_file` (relative to `dir`; /dev/null when empty). The
/// status is the program's; -1 when a signal ended it.
RunResult run_traced(const std::vector<std::string>& strace_options, const std::string& exe,
                     const std::vector<std::string>& args, const std::filesystem::path& dir,
                     const std::string& trace_file = "");

/// In a trace written by run_traced, the number of the call of `syscall`
/// (counted in the process or thread that made it, as strace counts for
/// `when=`) whose line holds `part`; 0 when there is none.
int call_number(const std::string& trace, const std::string& syscall, const std::string& part);

/// In such a trace (of openat and write), the number of the first write to
/// the descriptor that the first openat of a path holding `path_part`
/// returned; 0 when there is none.
int first_write_to(const std::string& trace, const std::string& path_part);

}  // namespace nongauss::testing

/// Skips the calling test when strace cannot be used, naming the package;
/// under CI=true, where the setup installs it, fails instead.
#define NONGAUSS_REQUIRE_STRACE()                                                              \
    do {                                                                                       \
        std::string strace_why;                                                                \
        if (!nongauss::testing::strace_usable(strace_why)) {                                   \
            if (const char* ci = std::getenv("CI"); ci != nullptr && std::string(ci) == "true") \
                FAIL() << strace_why;                                                          \
            GTEST_SKIP() << strace_why;                                                        \
        }                                                                                      \
    } while (0)
