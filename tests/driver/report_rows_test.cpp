// The output files are formatted in chunks on several cores: the text must be
// what one printf per row gives, in row order.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "driver/report.hpp"
#include "numeric/arrays.hpp"
#include "support/run_tool.hpp"

namespace nongauss {
namespace {

using nongauss::testing::ScratchDir;

Names names_in(const ScratchDir& dir) {
    Names n;
    n.input_name = "rec.txt";
    n.base_name = "rec";
    n.ts_name = (dir.path() / "rec_TS.txt").string();
    n.pdf_name = (dir.path() / "rec_PDF.txt").string();
    return n;
}

std::string row(const char* format, double a, double b, double c) {
    char text[1200];
    const int n = std::snprintf(text, sizeof text, format, a, b, c);
    return std::string(text, static_cast<std::size_t>(n));
}

TEST(ReportRows, TsFileOfManyChunksAsPrintfWouldWriteIt) {
    ScratchDir dir;
    const Names names = names_in(dir);
    std::mt19937_64 rng(17);
    std::normal_distribution<double> d(0.0, 0.05);
    const int ncg = 3 * (1 << 14) + 123;  // several chunks, the last one partial
    Resampled series;
    series.nres = ncg + 60;
    series.scale_pt = 120;
    series.resampled_mean = 0.8431;
    series.resampled = vector(1, series.nres);
    for (int j = 1; j <= series.nres; ++j) series.resampled[j] = d(rng);
    Increments inc;
    inc.ncg = ncg;
    inc.upper = ncg;
    inc.cg_sd = 0.0371;
    inc.cg_series = vector(1, ncg);
    for (int j = 1; j <= ncg; ++j) inc.cg_series[j] = d(rng);
    inc.cg_series[7] = std::numeric_limits<double>::infinity();  // falls back to printf itself
    inc.cg_series[8] = -0.0;

    for (int standardize : {0, 1}) {
        Settings settings;
        settings.dt = 0.1;
        settings.standardize = standardize;
        OutputFile out;
        ::testing::internal::CaptureStderr();
        ASSERT_EQ(write_ts_file(out, names, settings, series, inc), WriteOutcome::written);
        ::testing::internal::GetCapturedStderr();
        ASSERT_TRUE(out.commit());
        std::string want = standardize == 0 ? "time(sec)\tRRI(ms)\tCG_series(ms)\n" : "time(sec)\tRRI(ms)\tCG_series\n";
        for (int j = 1; j <= ncg; ++j)
            want += row("%lf\t%lf\t%lf\n", (j - 1) * settings.dt,
                        1000 * series.resampled[j + 60] + 1000 * series.resampled_mean,
                        standardize == 0 ? 1000 * inc.cg_series[j] : inc.cg_series[j] / inc.cg_sd);
        EXPECT_TRUE(dir.read("rec_TS.txt") == want) << "standardize " << standardize;
    }
    release_vector(series.resampled, 1, series.nres);
    release_vector(inc.cg_series, 1, ncg);
}

TEST(ReportRows, PdfFileAsPrintfWouldWriteIt) {
    ScratchDir dir;
    const Names names = names_in(dir);
    const int nbins = 37;
    std::vector<double> centre(nbins + 1), p_exp(nbins + 1), p_model(nbins + 1);
    for (int i = 1; i <= nbins; ++i) {
        centre[static_cast<std::size_t>(i)] = (i - 19) * 0.3125;
        p_exp[static_cast<std::size_t>(i)] = std::exp(-0.1 * i) / 3;
        p_model[static_cast<std::size_t>(i)] = std::exp(-0.2 * i) / 7;
    }
    p_exp[3] = std::numeric_limits<double>::infinity();
    p_model[4] = std::numeric_limits<double>::quiet_NaN();
    Settings settings;
    settings.nbins = nbins;
    settings.pdf_divisor = 3.0;
    OutputFile out;
    ::testing::internal::CaptureStderr();
    ASSERT_EQ(write_pdf_file(out, names, settings, centre.data(), p_exp.data(), p_model.data()),
              WriteOutcome::written);
    ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(dir.exists("rec_PDF.txt"));  // not in place before its commit
    ASSERT_TRUE(out.commit());
    std::string want = "x/SD\tP_exp\tP_model\n";
    for (int i = 1; i <= nbins; ++i)
        want += row("%lf\t%8.7lf\t%12.11lf\n", centre[static_cast<std::size_t>(i)], p_exp[static_cast<std::size_t>(i)] / 3.0,
                    p_model[static_cast<std::size_t>(i)] / 3.0);
    EXPECT_EQ(dir.read("rec_PDF.txt"), want);
}

}  // namespace
}  // namespace nongauss
