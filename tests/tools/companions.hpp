#pragma once

// Helpers for the end-to-end tests of the companion programs.

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/run_tool.hpp"

// The cohort's jobs run nongauss-scan; without it in this build there is
// nothing to test.
#ifndef NONGAUSS_SCAN_EXE
#define NONGAUSS_SCAN_EXE ""
#define NEEDS_SCAN() GTEST_SKIP() << "nongauss-scan is not part of this build"
#else
#define NEEDS_SCAN() static_cast<void>(0)
#endif

namespace nongauss::testing {

inline std::string source_path(const std::string& relative) {
    return (std::filesystem::path(NONGAUSS_SOURCE_DIR) / relative).string();
}

inline std::string plot_script() { return source_path("tools/nongauss-plot"); }
inline std::string cohort_script() { return source_path("tools/nongauss-cohort"); }

/// Runs a shell command line in `dir`.
inline RunResult run_shell(const std::string& command, const std::filesystem::path& dir) {
    return run_tool({"-c", command}, dir, "/bin/sh");
}

inline bool on_path(const std::string& program) {
    ScratchDir dir;
    return run_shell("command -v " + program, dir.path()).status == 0;
}

/// True under CI=true, where scripts/setup has installed every package.
inline bool in_ci() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::string(ci) == "true";
}

}  // namespace nongauss::testing

/// Skips the calling test when `program` is not on the PATH, naming the Debian
/// `package` that has it; under CI=true it fails instead, because there a skip
/// would hide a missing install step.
#define NONGAUSS_REQUIRE_PROGRAM(program, package)                                             \
    do {                                                                                        \
        if (!::nongauss::testing::on_path(program)) {                                           \
            if (::nongauss::testing::in_ci())                                                   \
                FAIL() << (program) << " is missing: the Debian package " << (package)          \
                       << " must be installed under CI=true (scripts/setup)";                  \
            GTEST_SKIP() << "needs " << (program) << ": install the Debian package " << (package); \
        }                                                                                       \
    } while (0)

namespace nongauss::testing {

/// Writes a synthetic series made by nongauss-synth with `options` to `name`
/// in `dir`; fails the calling test when the generator does.
inline void synthesize(const ScratchDir& dir, const std::string& name,
                       const std::vector<std::string>& options) {
    std::vector<std::string> args = options;
    args.push_back("-o");
    args.push_back(name);
    const RunResult r = run_tool(args, dir.path(), NONGAUSS_SYNTH_EXE);
    if (r.status != 0) throw std::runtime_error("nongauss-synth failed: " + r.err);
}

}  // namespace nongauss::testing
