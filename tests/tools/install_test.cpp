// cmake --install into a temporary prefix, then the installed programs run
// from there.
#include <gtest/gtest.h>

#include <filesystem>

#include "tools/companions.hpp"

namespace nongauss {
namespace {

namespace fs = std::filesystem;
using namespace nongauss::testing;

TEST(Install, ProgramsAndManPageUnderThePrefixAndTheyRun) {
    ScratchDir dir;
    const fs::path prefix = dir.path() / "prefix";
    const auto install = run_tool({"--install", NONGAUSS_BINARY_DIR, "--prefix", prefix.string()},
                                  dir.path(), NONGAUSS_CMAKE_COMMAND);
    ASSERT_EQ(install.status, 0) << install.out << install.err;

    const fs::path bin = prefix / "bin";
    for (const std::string program : {"nongauss", "nongauss-synth", "nongauss-plot", "nongauss-cohort"}) {
        const fs::path p = bin / program;
        ASSERT_TRUE(fs::exists(p)) << p;
        EXPECT_NE(fs::status(p).permissions() & fs::perms::owner_exec, fs::perms::none) << p;
    }
    EXPECT_EQ(slurp(prefix / "share/man/man1/nongauss.1"), slurp(source_path("doc/nongauss.1")));
    // The shell companions' writer is an internal helper, off the PATH.
    EXPECT_TRUE(fs::exists(prefix / "libexec/nongauss/nongauss-write"));
    EXPECT_FALSE(fs::exists(bin / "nongauss-write"));

    // The installed generator and analysis, away from the build tree.
    const fs::path work = dir.path() / "work";
    fs::create_directories(work);
    const auto synth = run_tool({"--hours", "1", "-o", "rec.txt"}, work, (bin / "nongauss-synth").string());
    ASSERT_EQ(synth.status, 0) << synth.err;
    const auto run = run_tool({"rec.txt"}, work, (bin / "nongauss").string());
    ASSERT_EQ(run.status, 0) << run.err;
    const Summary summary = parse_summary(run.out);
    EXPECT_EQ(summary.name, "rec");
    EXPECT_GT(summary.lambda, 0.0);

    EXPECT_EQ(slurp(prefix / "share/man/man1/nongauss-cohort.1"), slurp(source_path("doc/nongauss-cohort.1")));

#ifdef NONGAUSS_SCAN_EXE
    // The installed cohort runner finds the installed nongauss-scan beside it.
    const auto cohort = run_tool({"-o", "t.tsv", "rec.txt"}, work, (bin / "nongauss-cohort").string());
    ASSERT_EQ(cohort.status, 0) << cohort.err;
    const auto lines = lines_of(slurp(work / "t.tsv"));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].rfind("rec.txt\t25\t", 0), 0u) << lines[1];
    char sd[64];
    std::snprintf(sd, sizeof sd, "%.1f", std::stod(lines[1].substr(lines[1].find('\t', 8) + 1)));
    EXPECT_EQ(std::stod(sd), summary.sd) << lines[1];
#endif
}

}  // namespace
}  // namespace nongauss
