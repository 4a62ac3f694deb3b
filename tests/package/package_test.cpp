// The installed package: a program outside the tree, built with
// find_package(nongauss) against the installed headers and library alone,
// analyses a file as the library in this process does.
#include <gtest/gtest.h>

#include <cstdio>

#include "nongauss/nongauss.hpp"
#include "support/run_tool.hpp"

namespace {

TEST(Package, AProgramBuiltAgainstTheInstalledLibraryAnalysesAFile) {
    const nongauss::testing::ScratchDir dir;
    const std::string example = std::string(NONGAUSS_SOURCE_DIR) + "/examples/example.txt";
    const auto run = nongauss::testing::run_tool({NONGAUSS_BINARY_DIR, NONGAUSS_SOURCE_DIR, NONGAUSS_CMAKE_COMMAND, NONGAUSS_CXX_COMPILER}, dir.path(),
                                                 std::string(NONGAUSS_SOURCE_DIR) + "/tests/package/run");
    ASSERT_EQ(run.status, 0) << run.err;

    nongauss::Settings settings;
    settings.scale = 20;
    const nongauss::Series series = nongauss::Series::read_file(example);
    const nongauss::Result r = nongauss::analyse(series, settings);
    char expected[160];
    std::snprintf(expected, sizeof expected, "%zu beats, scale %g s, sd %.6f s, lambda %.6f\n", series.n_beats(),
                  r.scale_s, r.sd_s, r.lambda);
    EXPECT_EQ(run.out, expected);
}

}  // namespace
