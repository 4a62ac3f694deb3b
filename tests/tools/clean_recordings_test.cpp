// nongauss-clean on the real 24-hour recordings kept beside the repository,
// followed by a default analysis. Skipped where they are absent.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/run_tool.hpp"

namespace nongauss {
namespace {

namespace fs = std::filesystem;
using nongauss::testing::parse_summary;
using nongauss::testing::run_tool;
using nongauss::testing::ScratchDir;
using nongauss::testing::shared_recordings;

struct Analysis {
    double sd = 0;
    double lambda = 0;
    bool warned = false;  // a "Warning: " line on standard error
};

Analysis analyse(const std::string& name, const fs::path& dir) {
    const auto r = run_tool({name}, dir);
    EXPECT_EQ(r.status, 0) << r.err;
    const auto summary = parse_summary(r.out);
    return {summary.sd, summary.lambda, r.err.find("\nWarning: ") != std::string::npos};
}

// Whether a recording holds an interval outside 0.2-3.0 s (the unit by the
// first value), counted here without the tool.
bool has_implausible_interval(const fs::path& file) {
    std::ifstream in(file);
    double first = 0, v = 0;
    if (!(in >> first)) return false;
    const double unit = first > 100 ? 1000.0 : 1.0;
    for (v = first; in; in >> v)
        if (v / unit < 0.2 || v / unit > 3.0) return true;
    return false;
}

TEST(CleanRecordings, FewBeatsFlaggedAndLambdaFallsToTheUsualRange) {
    const fs::path data = shared_recordings();
    if (data.empty()) GTEST_SKIP() << "real recordings not available";
    int files = 0;
    // The default (the detector) and the median filter. The detector keeps
    // transient slowings that build up and return over beats (chf202: 0.8 s
    // to 1.3-1.4 s and back), which the median filter takes out: at 25 s
    // chf202 cleaned has lambda 0.82 by the detector, 0.61 by the median.
    for (const auto& entry : fs::directory_iterator(data))
    for (const char* filter : {"--detector", "--median"}) {
        if (entry.path().extension() != ".txt") continue;
        SCOPED_TRACE(filter);
        ScratchDir dir;
        fs::copy_file(entry.path(), dir.path() / "rec.txt");
        const auto r = run_tool({filter, "-o", "clean.txt", "--summary", "rec.txt"}, dir.path(), NONGAUSS_CLEAN_EXE);
        ASSERT_EQ(r.status, 0) << entry.path() << "\n" << r.err;
        std::istringstream summary(r.out);
        std::string name;
        long read = 0, by_range = 0, by_deviation = 0;
        double flagged_pct = 100;
        summary >> name >> read >> by_range >> by_deviation >> flagged_pct;
        EXPECT_GT(read, 50000) << entry.path();
        EXPECT_LT(flagged_pct, 3.0) << entry.path();
        EXPECT_EQ(r.err.find("warning"), std::string::npos) << entry.path();

        const Analysis raw = analyse("rec.txt", dir.path());
        const Analysis cleaned = analyse("clean.txt", dir.path());
        // Gaps and artefacts are named in the raw file; nothing is left to name
        // once it is cleaned.
        EXPECT_EQ(raw.warned, has_implausible_interval(entry.path())) << entry.path();
        EXPECT_FALSE(cleaned.warned) << entry.path();
        EXPECT_LT(cleaned.lambda, raw.lambda) << entry.path();
        EXPECT_LT(cleaned.sd, raw.sd) << entry.path();
        EXPECT_GT(cleaned.lambda, 0.3) << entry.path();
        EXPECT_LT(cleaned.lambda, 0.85) << entry.path();
        EXPECT_LT(cleaned.sd, 500.0) << entry.path();  // milliseconds
        ++files;
    }
    EXPECT_GE(files, 1);
}

}  // namespace
}  // namespace nongauss
