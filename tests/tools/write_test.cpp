// nongauss-write, the writer the shell companions put their files through:
// every DEST in place together, or no DEST changed.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/strace.hpp"
#include "tools/companions.hpp"

namespace nongauss {
namespace {

namespace fs = std::filesystem;
using namespace nongauss::testing;

RunResult write(const std::vector<std::string>& args, const ScratchDir& dir) {
    return run_tool(args, dir.path(), NONGAUSS_WRITE_EXE);
}

// a.txt and b.txt with old contents, sources, a directory.
void prepare(const ScratchDir& dir) {
    dir.write("a.txt", "old a\n");
    dir.write("b.txt", "old b\n");
    dir.write("src.txt", "new a\n");
    dir.write("src2.txt", "new b\n");
    dir.write("in.txt", "input\n");
    fs::create_directory(dir.path() / "adir");
    fs::create_symlink("src.txt", dir.path() / "srclink.txt");
}

TEST(Write, EveryRefusalOrFailureChangesNoDest) {
    ScratchDir dir;
    prepare(dir);
    const struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"--input", "in.txt", "a.txt", "src.txt", "in.txt", "src2.txt"}, "the DEST in.txt is one of the inputs"},
        {{"a.txt", "src.txt", "srclink.txt", "src2.txt"}, "the DEST srclink.txt is one of the inputs"},
        {{"a.txt", "src.txt", "./a.txt", "src2.txt"}, "the DEST ./a.txt is given twice"},
        {{"a.txt", "-", "b.txt", "-"}, "standard input (-) can be the SOURCE of one DEST only"},
        {{"a.txt"}, "give DEST SOURCE pairs"},
        {{}, "give DEST SOURCE pairs"},
        {{"--frob", "a.txt", "src.txt"}, "unknown option '--frob'"},
        {{"--input"}, "--input needs a file name"},
        {{"a.txt", "src.txt", "b.txt", "missing.txt"}, "cannot open missing.txt: No such file or directory"},
        {{"a.txt", "src.txt", "adir", "src2.txt"}, "cannot write adir: Is a directory"},
        {{"a.txt", "src.txt", "b.txt", "adir"}, "cannot read adir: Is a directory"},
        {{"a.txt", "src.txt", "no/b.txt", "src2.txt"}, "cannot write no/b.txt: No such file or directory"},
    };
    for (const auto& c : cases) {
        const RunResult r = write(c.args, dir);
        EXPECT_EQ(r.status, 1) << c.message;
        EXPECT_EQ(r.err.rfind("nongauss-write: " + c.message, 0), 0u) << r.err;
        EXPECT_EQ(dir.read("a.txt"), "old a\n") << c.message;
        EXPECT_EQ(dir.read("b.txt"), "old b\n") << c.message;
        EXPECT_EQ(dir.read("in.txt"), "input\n") << c.message;
        EXPECT_TRUE(hidden_files(dir.path()).empty()) << c.message;
    }
}

TEST(Write, EveryDestInPlaceWithTheUmaskModeAndLinksReplaced) {
    ScratchDir dir;
    prepare(dir);
    dir.write("victim.txt", "precious\n");
    fs::remove(dir.path() / "b.txt");
    fs::create_symlink("victim.txt", dir.path() / "b.txt");
    const std::string command = std::string("umask 022; exec '") + NONGAUSS_WRITE_EXE +
                                "' --input in.txt a.txt src.txt b.txt - c.txt src2.txt < src2.txt";
    const RunResult r = run_shell(command, dir.path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(dir.read("a.txt"), "new a\n");
    EXPECT_EQ(dir.read("b.txt"), "new b\n");
    EXPECT_EQ(dir.read("c.txt"), "new b\n");
    EXPECT_EQ(dir.read("victim.txt"), "precious\n");
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
        struct stat st {};
        ASSERT_EQ(lstat((dir.path() / name).c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode)) << name;
        EXPECT_EQ(st.st_mode & 07777, 0644u) << name;
    }
    EXPECT_TRUE(hidden_files(dir.path()).empty());

    const RunResult help = write({"--help"}, dir);
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: nongauss-write [--input FILE]... DEST SOURCE [DEST SOURCE]...\n", 0), 0u);
    EXPECT_EQ(write({"--version"}, dir).out, std::string("nongauss-write ") + NONGAUSS_VERSION + "\n");
}

TEST(Write, AFailedRenameChangesNoDest) {
    NONGAUSS_REQUIRE_STRACE();
    ScratchDir dir;
    prepare(dir);
    // The renames: b.txt aside, a.txt in place (after a link keeps the old
    // one), b.txt in place.
    for (const char* at : {"rename:error=EIO:when=1", "link:error=EPERM:when=1", "rename:error=EIO:when=2",
                           "rename:error=EXDEV:when=3"}) {
        const RunResult r = run_traced({"-e", std::string("inject=") + at}, NONGAUSS_WRITE_EXE,
                                       {"a.txt", "src.txt", "b.txt", "src2.txt"}, dir.path());
        const bool link_refused = std::string(at).rfind("link", 0) == 0;  // then a.txt is moved aside instead
        EXPECT_EQ(r.status, link_refused ? 0 : 1) << at << r.err;
        EXPECT_EQ(dir.read("a.txt"), link_refused ? "new a\n" : "old a\n") << at;
        EXPECT_EQ(dir.read("b.txt"), link_refused ? "new b\n" : "old b\n") << at;
        EXPECT_TRUE(hidden_files(dir.path()).empty()) << at;
        dir.write("a.txt", "old a\n");
        dir.write("b.txt", "old b\n");
    }
}

}  // namespace
}  // namespace nongauss
