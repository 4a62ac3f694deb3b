// Default runs on the real 24-hour recordings kept beside the repository.
// Skipped where they are absent (a fresh clone has none).
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "support/run_tool.hpp"

namespace nongauss {
namespace {

namespace fs = std::filesystem;
using nongauss::testing::parse_summary;
using nongauss::testing::run_tool;
using nongauss::testing::ScratchDir;
using nongauss::testing::shared_recordings;

TEST(Recordings, DefaultRunGivesFinitePositiveSdAndLambda) {
    const fs::path data = shared_recordings();
    if (data.empty()) GTEST_SKIP() << "real recordings not available";
    int runs = 0;
    for (const auto& entry : fs::directory_iterator(data)) {
        if (entry.path().extension() != ".txt") continue;
        ScratchDir dir;
        fs::copy_file(entry.path(), dir.path() / "rec.txt");
        const auto r = run_tool({"rec.txt"}, dir.path());
        ASSERT_EQ(r.status, 0) << entry.path() << "\n" << r.err;
        const auto [base, scale, sd, lambda] = parse_summary(r.out);
        EXPECT_EQ(base, "rec");
        EXPECT_EQ(scale, 25.0);
        EXPECT_TRUE(std::isfinite(sd) && sd > 0) << entry.path() << " SD " << sd;
        EXPECT_TRUE(std::isfinite(lambda) && lambda > 0) << entry.path() << " lambda " << lambda;
        ++runs;
    }
    EXPECT_GE(runs, 1);
}

}  // namespace
}  // namespace nongauss
