#include "coarse/increments.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "nongauss/error.hpp"
#include "nongauss/transcript.hpp"
#include "numeric/arrays.hpp"
#include "support/pool.hpp"

namespace nongauss {
namespace {

// A profile source over r[1..]: made when asked, as the analysis makes it.
ProfileSource profile_of(const std::vector<double>& r) {
    auto profile = std::make_shared<std::vector<double>>(r.size());
    return [&r, profile] {
        running_sum(r.data(), static_cast<int>(r.size()) - 1, profile->data());
        return profile->data();
    };
}

struct Grained {
    Increments inc;
    std::vector<double> centred;       // before standardisation
    std::vector<double> standardised;  // after
    std::string err;
};

Grained grain(const std::vector<double>& series, long scale_pt, int ncoef,
              FitMethod fit_method = FitMethod::normal_equations) {
    std::vector<double> r(series.size() + 1);
    for (std::size_t i = 0; i < series.size(); ++i) r[i + 1] = series[i];
    StringTranscript transcript;
    Grained g{coarse_grain({r.data(), static_cast<int>(series.size()), 100, scale_pt, ncoef, fit_method, profile_of(r)},
                           transcript, nongauss::testing::pool_of()),
              {}, {}, ""};
    g.err = transcript.text();
    for (int i = 1; i <= g.inc.count; ++i) g.centred.push_back(g.inc.centred[i]);
    for (int i = 1; i <= g.inc.count; ++i) g.standardised.push_back(g.inc.centred[i] / g.inc.sd_s);
    return g;
}

TEST(Increments, MovingSumsWithoutDetrending) {
    const Grained g = grain({1, -1, -1, 1}, 2, 1);
    EXPECT_EQ(g.err, "WITHOUT detrending\n");
    ASSERT_EQ(g.inc.count, 3);  // sums 0, -2, 0
    EXPECT_DOUBLE_EQ(g.inc.mean_s, -2.0 / 3);
    EXPECT_DOUBLE_EQ(g.inc.sd_s, std::sqrt(8.0 / 9));
    EXPECT_NEAR(g.standardised[0], 1 / std::sqrt(2.0), 1e-15);
    EXPECT_NEAR(g.standardised[1], -std::sqrt(2.0), 1e-15);

    std::vector<double> ten;
    for (int i = 1; i <= 10; ++i) ten.push_back(i * i % 7 - 3.0);
    const Grained m = grain(ten, 3, 0);
    ASSERT_EQ(m.inc.count, 8);
    EXPECT_DOUBLE_EQ(m.centred[0] + m.inc.mean_s, ten[0] + ten[1] + ten[2]);

    const Grained unit = grain({0.5, -0.25, 0.75}, 1, 1);  // scale_pt 1: the points themselves
    ASSERT_EQ(unit.inc.count, 3);
    EXPECT_DOUBLE_EQ(unit.centred[2] + unit.inc.mean_s, 0.75);
}

TEST(Increments, StraightLineDetrendingExample) {
    for (const FitMethod method : {FitMethod::normal_equations, FitMethod::svd}) {
        const Grained g = grain({1, -1, -1, 1}, 2, 2, method);
        EXPECT_EQ(g.err, "detrend using polynomial fits of order 1\n" + std::string(48, '-') + "\n");
        ASSERT_EQ(g.inc.count, 2);  // increments -1.2 and 0.8
        EXPECT_NEAR(g.inc.mean_s, -0.2, 1e-14);
        EXPECT_NEAR(g.inc.sd_s, 1.0, 1e-14);
        EXPECT_NEAR(g.centred[0], -1.0, 1e-14);
        EXPECT_NEAR(g.standardised[1], 1.0, 1e-14);
    }
}

TEST(Increments, WindowsOverlapByHalf) {
    std::vector<double> ten;
    for (int i = 1; i <= 10; ++i) ten.push_back(std::sin(i * 1.7));
    EXPECT_EQ(grain(ten, 3, 2).inc.count, 6);           // windows at 1 and 4
    EXPECT_EQ(grain({1, 2, 3, 4, 5, 7}, 3, 2).inc.count, 3);  // exactly one window
}

// A series too short for its scale throws before any line is written.
TEST(Increments, TooShortSeriesAreRejectedBeforeAnyLine) {
    struct Case {
        std::vector<double> series;
        long scale_pt;
        int ncoef;
    };
    for (const Case& c : {Case{{1, 2, 3, 4, 5}, 3, 2},          // 2*3 > 5
                          Case{{1, 2}, 3, 1},                   // nres < scale_pt
                          Case{{}, 1, 1},                       // nres 0
                          Case{{1, 2}, 4000000000000L, 1}}) {
        std::vector<double> r(c.series.size() + 1);
        for (std::size_t i = 0; i < c.series.size(); ++i) r[i + 1] = c.series[i];
        StringTranscript transcript;
        try {
            coarse_grain({r.data(), static_cast<int>(c.series.size()), 100, c.scale_pt, c.ncoef,
                          FitMethod::normal_equations, profile_of(r)},
                         transcript, nongauss::testing::pool_of());
            ADD_FAILURE() << "no error for " << c.series.size() << " points at " << c.scale_pt;
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::fatal);
            EXPECT_EQ(e.message(), "The data length is not enough!\n");
        }
        EXPECT_EQ(transcript.text(), "");
    }
}

TEST(Increments, StorageHoldsEveryIncrementAndKeepsTheFormerLimit) {
    // The array holds exactly the increments either branch can make, the
    // most being nres - scale_pt + 1 moving sums (a sanitizer build sees any
    // write beyond it).
    std::vector<double> series;
    for (int i = 1; i <= 1000; ++i) series.push_back(std::sin(i * 0.37) + 0.001 * i);
    for (const long scale_pt : {1L, 7L, 500L}) {
        const Grained sums = grain(series, scale_pt, 1);
        EXPECT_EQ(sums.inc.count, 1000 - scale_pt + 1);
        EXPECT_EQ(sums.inc.upper, sums.inc.count);
        const Grained fitted = grain(series, scale_pt, 3);
        EXPECT_EQ(fitted.inc.count, (1000 / scale_pt - 1) * scale_pt);
        EXPECT_LE(fitted.inc.count, fitted.inc.upper);
    }
    // A series for which the former array, [1..2 (nres - scale_pt) + 2],
    // exceeds the block limit ends where it did, before anything is read or
    // written.
    const std::vector<double> r(2, 0.0);
    StringTranscript transcript;
    // 2 (nres - 100) + 3 slots: just beyond the limit of 2^28.
    const int nres = static_cast<int>(max_block_bytes / sizeof(double) / 2) + 100;
    try {
        coarse_grain({r.data(), nres, 100, 100, 1, FitMethod::normal_equations, profile_of(r)}, transcript,
                     nongauss::testing::pool_of());
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::fatal);
        EXPECT_EQ(e.message(), "allocation failure in vector()");
    }
    EXPECT_EQ(transcript.text(), "");
}

// The run checks the increments' range in milliseconds through their SD
// alone: one increment beyond the range (or not a number), wherever it lies,
// must make 1000 * SD non-finite, and a series in range must not.
TEST(Increments, OneIncrementOutOfRangeMakesTheSpreadNonFinite) {
    std::vector<double> values(40, 0.0);
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = static_cast<double>(i % 7) - 3.0;
    EXPECT_TRUE(std::isfinite(1000 * grain(values, 2, 1).inc.sd_s));
    for (const double odd : {2e305, -2e305, 1e300, std::nan("")}) {
        for (const std::size_t at : {std::size_t{0}, std::size_t{17}, values.size() - 1}) {
            std::vector<double> v = values;
            v[at] = odd;
            EXPECT_FALSE(std::isfinite(1000 * grain(v, 2, 1).inc.sd_s)) << odd << " at " << at;
        }
    }
}

}  // namespace
}  // namespace nongauss
