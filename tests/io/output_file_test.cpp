// The output-file writer as a library piece: what a commit of several files
// leaves when a step fails. (What it refuses, links, modes, signals and
// refused inputs are checked through the programs, under tests/driver and
// tests/tools.)
#include "nongauss/output_file.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/run_tool.hpp"

namespace nongauss {
namespace {

namespace fs = std::filesystem;
using nongauss::testing::ScratchDir;

std::vector<std::string> hidden_files(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (e.path().filename().string()[0] == '.') names.push_back(e.path().filename().string());
    return names;
}

// Opens, writes `text` and finishes an output file.
void prepare(OutputFile& out, const fs::path& name, const std::string& text) {
    ASSERT_TRUE(out.open(name.string())) << name << ": " << out.error();
    ASSERT_TRUE(out.write(text));
    ASSERT_TRUE(out.finish()) << out.error();
}

// Three files in two directories, with previous versions, committed
// together; the temporary file of file `lost` (if any) removed behind the
// writer's back, so that its rename fails.
struct Group {
    ScratchDir dir;
    std::vector<fs::path> names;
    Group() {
        fs::create_directory(dir.path() / "b");
        names = {dir.path() / "first.txt", dir.path() / "b/second.txt", dir.path() / "third.txt"};
        for (std::size_t k = 0; k < names.size(); ++k)
            if (k != 1) dir.write(names[k].lexically_relative(dir.path()).string(), "old " + std::to_string(k) + "\n");
        fs::create_symlink("first.txt", dir.path() / "b/second.txt");  // a link as the second's old version
    }
    bool commit(int lost, std::size_t& failed) {
        OutputFile files[3];
        OutputFile stream;
        for (std::size_t k = 0; k < 3; ++k) prepare(files[k], names[k], "new " + std::to_string(k) + "\n");
        EXPECT_TRUE(stream.open("/dev/null"));
        EXPECT_TRUE(stream.finish());
        if (lost >= 0)
            for (const auto& e : fs::directory_iterator(names[static_cast<std::size_t>(lost)].parent_path()))
                if (e.path().filename().string().rfind("." + names[static_cast<std::size_t>(lost)].filename().string() + ".", 0) == 0)
                    fs::remove(e.path());
        OutputFile* const all[] = {&files[0], &stream, &files[1], &files[2]};
        return commit_together(all, failed);
    }
};

TEST(CommitTogether, EveryFileInPlaceOrThePreviousSetBack) {
    {
        Group g;
        std::size_t failed = 99;
        ASSERT_TRUE(g.commit(-1, failed));
        for (std::size_t k = 0; k < 3; ++k) EXPECT_EQ(nongauss::testing::slurp(g.names[k]), "new " + std::to_string(k) + "\n");
        EXPECT_FALSE(fs::is_symlink(g.names[1]));
        EXPECT_TRUE(hidden_files(g.dir.path()).empty());
    }
    // Whichever rename fails, every name holds what it held before (the link
    // is a link again), and no temporary file or backup is left.
    for (const int lost : {0, 1, 2}) {
        Group g;
        std::size_t failed = 99;
        EXPECT_FALSE(g.commit(lost, failed));
        EXPECT_EQ(failed, lost == 0 ? 0u : static_cast<std::size_t>(lost) + 1) << lost;  // the stream is index 1
        EXPECT_EQ(nongauss::testing::slurp(g.names[0]), "old 0\n") << lost;
        EXPECT_TRUE(fs::is_symlink(g.names[1])) << lost;
        EXPECT_EQ(nongauss::testing::slurp(g.names[2]), "old 2\n") << lost;
        EXPECT_TRUE(hidden_files(g.dir.path()).empty()) << lost;
    }
}

}  // namespace
}  // namespace nongauss
