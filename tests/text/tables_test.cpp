// The output files are formatted in chunks on several cores: the text must be
// what one printf per row gives, in row order.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "nongauss/tables.hpp"
#include "support/pool.hpp"

namespace nongauss {
namespace {

std::string row(const char* format, double a, double b, double c) {
    char text[1200];
    const int n = std::snprintf(text, sizeof text, format, a, b, c);
    return std::string(text, static_cast<std::size_t>(n));
}

// What a writer puts into a file.
template <typename Write>
std::string written(const Write& write) {
    std::FILE* file = std::tmpfile();
    EXPECT_NE(file, nullptr);
    write(file);
    EXPECT_EQ(std::ferror(file), 0);
    std::string text(static_cast<std::size_t>(std::ftell(file)), '\0');
    std::rewind(file);
    EXPECT_EQ(std::fread(text.data(), 1, text.size(), file), text.size());
    std::fclose(file);
    return text;
}

TEST(Tables, TsTableOfManyChunksAsPrintfWouldWriteIt) {
    std::mt19937_64 rng(17);
    std::normal_distribution<double> d(0.0, 0.05);
    const int ncg = 3 * (1 << 14) + 123;  // several chunks, the last one partial
    const int nres = ncg + 60;
    const long scale_pt = 120;
    const double mean = 0.8431;
    const double sd = 0.0371;
    std::vector<double> resampled(nres + 1), cg(ncg + 1);
    for (int j = 1; j <= nres; ++j) resampled[static_cast<std::size_t>(j)] = d(rng);
    for (int j = 1; j <= ncg; ++j) cg[static_cast<std::size_t>(j)] = d(rng);
    cg[7] = std::numeric_limits<double>::infinity();  // falls back to printf itself
    cg[8] = -0.0;
    cg[9] = 2e-10;  // below the formatter's fast path once in ms
    cg[10] = -3e-12;  // rounds to "-0.000000"
    cg[11] = 0.0;

    for (const bool standardized : {false, true}) {
        const double dt = 0.1;
        const std::string got = written([&](std::FILE* f) {
            write_ts_table(f, std::span<const double>(resampled).subspan(1), mean, scale_pt,
                           std::span<const double>(cg).subspan(1), sd, dt, standardized, nongauss::testing::pool_of());
        });
        std::string want = standardized ? "time(sec)\tRRI(ms)\tCG_series\n" : "time(sec)\tRRI(ms)\tCG_series(ms)\n";
        for (int j = 1; j <= ncg; ++j) {
            const auto k = static_cast<std::size_t>(j);
            want += row("%lf\t%lf\t%lf\n", (j - 1) * dt, 1000 * resampled[k + 60] + 1000 * mean,
                        standardized ? cg[k] / sd : 1000 * cg[k]);
        }
        EXPECT_TRUE(got == want) << "standardized " << standardized;
    }
}

TEST(Tables, RowsLongerThanABufferHoldsStayInOrder) {
    // Values near the top of the double range print with hundreds of digits:
    // chunks of such rows fill their buffer many times over before their end,
    // while the chunks between them are short.
    const int ncg = 5 * (1 << 13) + 77;
    const int nres = ncg + 2;
    std::vector<double> resampled(nres + 1), cg(ncg + 1);
    for (int j = 1; j <= nres; ++j) resampled[static_cast<std::size_t>(j)] = 1e-3 * (j % 97);
    for (int j = 1; j <= ncg; ++j) {
        const bool long_row = (j >> 13) % 2 == 0 || j % 1000 == 0;
        cg[static_cast<std::size_t>(j)] = long_row ? std::ldexp(1.0 + j * 1e-9, 1010) : -1e-4 * (j % 13);
    }
    const std::string got = written([&](std::FILE* f) {
        write_ts_table(f, std::span<const double>(resampled).subspan(1), 0.75, 4, std::span<const double>(cg).subspan(1),
                       1.0, 0.25, false, nongauss::testing::pool_of());
    });
    std::string want = "time(sec)\tRRI(ms)\tCG_series(ms)\n";
    for (int j = 1; j <= ncg; ++j) {
        const auto k = static_cast<std::size_t>(j);
        want += row("%lf\t%lf\t%lf\n", (j - 1) * 0.25, 1000 * resampled[k + 2] + 1000 * 0.75, 1000 * cg[k]);
    }
    EXPECT_GT(want.size(), std::size_t{4} << 20);  // many buffers of text
    EXPECT_TRUE(got == want);
}

TEST(Tables, PdfTableAsPrintfWouldWriteIt) {
    const int nbins = 37;
    std::vector<double> centre(nbins), p_exp(nbins), p_model(nbins);
    for (int i = 0; i < nbins; ++i) {
        const auto k = static_cast<std::size_t>(i);
        centre[k] = (i - 18) * 0.3125;
        p_exp[k] = std::exp(-0.1 * i) / 3;
        p_model[k] = std::exp(-0.2 * i) / 7;
    }
    p_exp[2] = std::numeric_limits<double>::infinity();
    p_model[3] = std::numeric_limits<double>::quiet_NaN();
    const std::string got = written([&](std::FILE* f) {
        write_pdf_table(f, centre.data(), p_exp.data(), p_model.data(), nbins, 3.0, nongauss::testing::pool_of());
    });
    std::string want = "x/SD\tP_exp\tP_model\n";
    for (std::size_t i = 0; i < nbins; ++i) want += row("%lf\t%8.7lf\t%12.11lf\n", centre[i], p_exp[i] / 3.0, p_model[i] / 3.0);
    EXPECT_EQ(got, want);
}

}  // namespace
}  // namespace nongauss
