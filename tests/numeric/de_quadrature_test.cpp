#include "numeric/de_quadrature.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <vector>

namespace nongauss {
namespace {

constexpr int kLen = 100000;
constexpr double kEuler = 0.57721566490153286;
constexpr double kPi = 3.14159265358979324;

// The table as the model density builds it, with a guard zone after it.
const std::vector<double>& model_table() {
    static const std::vector<double> table = [] {
        std::vector<double> t(kLen + 64, -7.0);
        de_init_halfline(kLen, 1e-307, 1e-16, t.data());
        return t;
    }();
    return table;
}

struct Outcome {
    double result = 0;
    double err = 0;
    int evaluations = 0;
    double lowest = INFINITY;  // smallest abscissa evaluated
    int halvings = 0;          // deepest level reached, minus 1
};

// Level (1-based) of the run holding table entry j: run 0 is level 1, runs
// 2^(L-2) .. 2^(L-1) - 1 are level L.
int level_of_entry(int j, int run) {
    int r = (j - 11) / run;
    if (r == 0) return 1;
    int level = 2;
    while (r > 1) {
        r /= 2;
        ++level;
    }
    return level;
}

template <typename F>
Outcome integrate(F f, double a, const std::vector<double>& table = model_table()) {
    Outcome out;
    std::set<double> seen;
    auto counted = [&](double x) {
        ++out.evaluations;
        out.lowest = std::fmin(out.lowest, x);
        seen.insert(x);
        return f(x);
    };
    de_integrate_halfline(counted, a, table.data(), out.result, out.err);
    const int last = static_cast<int>(table[0]);
    const int run = static_cast<int>(table[1]);
    // Every run used evaluates at least its first upper abscissa; neutral
    // records (abscissa 1) are skipped, they coincide with the centre.
    for (int j = 11; j <= last; j += 6) {
        if (table[j + 1] != 1.0 && seen.count(a + table[j + 1]))
            out.halvings = std::max(out.halvings, level_of_entry(j, run) - 1);
    }
    return out;
}

TEST(DeInitHalfline, HeaderAndLayoutForTheModelTable) {
    const auto& t = model_table();
    EXPECT_EQ(t[6] / 4, 0.27401391584239504);  // h0
    EXPECT_EQ(t[2], 1e-16);
    EXPECT_EQ(t[3], 5.550487909120725e-14);
    EXPECT_EQ(t[4], 3.1622776601683795e-09);
    EXPECT_EQ(t[5], 1.0);
    EXPECT_EQ(t[7], 2 * std::atan(1.0) * 0.27401391584239504);
    EXPECT_EQ(t[1], 150.0);    // P: 24 records of level 1 plus one slot
    EXPECT_EQ(t[0], 76805.0);  // K: 10 levels, 512 runs of 150 entries

    // First record of level 1: u = h0, x- = exp(-(pi/2) sinh h0) = 1/x+.
    const double u = 0.27401391584239504;
    EXPECT_NEAR(t[11], std::exp(-2 * std::atan(1.0) * std::sinh(u)), 1e-15);
    EXPECT_NEAR(t[11] * t[12], 1.0, 1e-15);
    EXPECT_EQ(t[13], (4 * u) * t[11]);

    // Abscissae decrease along level 1's run and stay above tiny.
    for (int j = 17; j < 155; j += 6) {
        EXPECT_LT(t[j], t[j - 6]);
        EXPECT_GT(t[j], 1e-307);
    }
    // Level 1's never-filled last slot holds the neutral record.
    for (int i = 0; i < 6; ++i) EXPECT_EQ(t[155 + i], i < 2 ? 1.0 : 0.0) << i;
    // Entries 8..10 and everything after the last level are 0; nothing past len.
    for (int i = 8; i <= 10; ++i) EXPECT_EQ(t[i], 0.0);
    for (int i = 76811; i < kLen; ++i) ASSERT_EQ(t[i], 0.0) << i;
    for (int i = kLen; i < kLen + 64; ++i) ASSERT_EQ(t[i], -7.0) << i;
}

TEST(DeInitHalfline, NearlyFullTableKeepsOnlyLevelOne) {
    std::vector<double> t(160 + 8, -7.0);
    de_init_halfline(160, 1e-307, 1e-16, t.data());
    EXPECT_EQ(t[1], 144.0);  // exactly what level 1 filled
    EXPECT_EQ(t[0], 149.0);
    for (int i = 160; i < 168; ++i) EXPECT_EQ(t[i], -7.0);

    // No level to refine with: the estimate is flagged as not converged.
    const Outcome o = integrate([](double x) { return std::exp(-x); }, 0.0, t);
    EXPECT_NEAR(o.result, 1.0, 1e-3);
    EXPECT_LT(o.err, 0.0);
    EXPECT_EQ(o.halvings, 0);
}

TEST(DeIntegrateHalfline, SmoothIntegrandsFromZero) {
    const Outcome e = integrate([](double x) { return std::exp(-x); }, 0.0);
    EXPECT_NEAR(e.result, 1.0, 2e-16);
    EXPECT_GT(e.err, 0.0);
    EXPECT_LT(e.err, 1e-15);
    EXPECT_EQ(e.halvings, 3);
    EXPECT_GE(e.evaluations, 190);
    EXPECT_LE(e.evaluations, 230);

    const Outcome r = integrate([](double x) { return 1 / (1 + x * x); }, 0.0);
    EXPECT_NEAR(r.result, kPi / 2, 3e-16);
    EXPECT_GT(r.err, 0.0);
    EXPECT_EQ(r.halvings, 1);

    // Singular at the lower limit: never evaluated there.
    const Outcome s = integrate([](double x) { return std::exp(-x) / std::sqrt(x); }, 0.0);
    EXPECT_NEAR(s.result, std::sqrt(kPi), 3e-16);
    EXPECT_GT(s.err, 0.0);
    EXPECT_GT(s.lowest, 0.0);

    const Outcome l = integrate([](double x) { return std::log(x) * std::exp(-x); }, 0.0);
    EXPECT_NEAR(l.result, -kEuler, 3e-16);
    EXPECT_GT(l.err, 0.0);
}

TEST(DeIntegrateHalfline, ShiftedLowerLimit) {
    const Outcome p2 = integrate([](double x) { return 1 / (x * x); }, 1.0);
    EXPECT_NEAR(p2.result, 1.0, 4e-16);
    EXPECT_EQ(p2.halvings, 1);
    EXPECT_GT(p2.err, 0.0);

    const Outcome p15 = integrate([](double x) { return std::pow(x, -1.5); }, 1.0);
    EXPECT_NEAR(p15.result, 2.0, 5e-16);
    EXPECT_EQ(p15.halvings, 1);
    EXPECT_GT(p15.err, 0.0);
}

TEST(DeIntegrateHalfline, JumpUsesEveryLevelAndReportsNoConvergence) {
    const Outcome o = integrate([](double x) { return x < 1 ? 1.0 : 0.0; }, 0.0);
    EXPECT_NEAR(o.result, 0.99958, 1e-5);
    EXPECT_LT(o.err, 0.0);
    EXPECT_NEAR(o.err, -1.53, 0.01);
    EXPECT_EQ(o.halvings, 9);
}

TEST(DeIntegrateHalfline, LowerTailThatNeverDecaysStopsAtTheEndOfLevelOne) {
    // exp(-x)/x diverges at 0: the weighted lower terms never fall below the
    // tail threshold, so that side runs into level 1's last slot, which must
    // neither evaluate f at a (f(0) is infinite) nor spoil the sum.
    const Outcome o = integrate([](double x) { return std::exp(-x) / x; }, 0.0);
    EXPECT_GT(o.lowest, 0.0);
    EXPECT_TRUE(std::isfinite(o.result));
    EXPECT_GT(o.result, 100.0);
    EXPECT_LT(o.err, 0.0);
}

}  // namespace
}  // namespace nongauss
