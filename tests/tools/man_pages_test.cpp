// The manual pages under doc/: one per program, each rendered without a
// warning, each pointing to all the others; cmake --install puts them in place.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "tools/companions.hpp"

namespace nongauss {
namespace {

namespace fs = std::filesystem;
using namespace nongauss::testing;

std::set<std::string> pages() {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(source_path("doc")))
        if (entry.path().extension() == ".1") names.insert(entry.path().stem().string());
    return names;
}

TEST(ManPages, OnePerProgramWithACompleteSeeAlso) {
    const std::set<std::string> names = pages();
    for (const char* program : {"nongauss", "nongauss-clean", "nongauss-synth", "nongauss-plot", "nongauss-cohort", "nongauss-report"})
        EXPECT_EQ(names.count(program), 1u) << program;
    std::set<std::string> programs(names);
    programs.insert("nongauss-scan");
    for (const std::string& page : names) {
        const std::string text = slurp(source_path("doc/" + page + ".1"));
        const std::size_t see_also = text.find(".SH SEE ALSO");
        ASSERT_NE(see_also, std::string::npos) << page;
        const std::string tail = text.substr(see_also);
        for (std::string other : programs) {
            if (other == page) continue;
            std::string escaped;
            for (const char c : other) escaped += c == '-' ? std::string("\\-") : std::string(1, c);
            EXPECT_NE(tail.find(".BR " + escaped + " (1)"), std::string::npos) << page << " lacks " << other;
        }
    }
}

TEST(ManPages, RenderWithoutWarnings) {
    NONGAUSS_REQUIRE_PROGRAM("groff", "groff-base");
    NONGAUSS_REQUIRE_PROGRAM("man", "man-db");
    ScratchDir dir;
    for (const std::string& page : pages()) {
        const std::string file = source_path("doc/" + page + ".1");
        // Every groff warning, then man as a reader would call it.
        const RunResult groff = run_shell("groff -man -ww -z '" + file + "'", dir.path());
        EXPECT_EQ(groff.status, 0) << page;
        EXPECT_EQ(groff.err, "") << page;
        const RunResult man = run_shell("MANWIDTH=80 man -l '" + file + "'", dir.path());
        EXPECT_EQ(man.status, 0) << page;
        EXPECT_EQ(man.err, "") << page;
        EXPECT_NE(man.out.find("SEE ALSO"), std::string::npos) << page;
    }
}

TEST(ManPages, InstalledWithThePrograms) {
    ScratchDir dir;
    const fs::path prefix = dir.path() / "prefix";
    const auto install = run_tool({"--install", NONGAUSS_BINARY_DIR, "--prefix", prefix.string()},
                                  dir.path(), NONGAUSS_CMAKE_COMMAND);
    ASSERT_EQ(install.status, 0) << install.out << install.err;
    for (const std::string& page : pages()) {
        EXPECT_EQ(slurp(prefix / "share/man/man1" / (page + ".1")), slurp(source_path("doc/" + page + ".1")))
            << page;
        EXPECT_TRUE(fs::exists(prefix / "bin" / page)) << page;
    }
}

}  // namespace
}  // namespace nongauss
