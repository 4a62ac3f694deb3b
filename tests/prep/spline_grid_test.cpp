// Spline resampling walks the grid with a cursor over the knots instead of
// one bisection per point: it must land on the interval spline_eval would use.
#include <gtest/gtest.h>

#include <string>
#include <bit>
#include <cstdint>
#include <random>
#include <vector>

#include "numeric/spline.hpp"
#include "prep/resample.hpp"
#include "support/errors.hpp"
#include "support/pool.hpp"

namespace nongauss {
namespace {

using nongauss::testing::thrown_message;

// What resample gives with the spline, point by point through spline_eval.
std::vector<double> by_splint(const std::vector<double>& rri, double dt, int nres) {
    const int n = static_cast<int>(rri.size()) - 1;
    std::vector<double> t(rri.size()), y2(rri.size());
    double elapsed = 0.0;
    for (int i = 1; i <= n; ++i) {
        t[static_cast<std::size_t>(i)] = elapsed;
        elapsed = elapsed + rri[static_cast<std::size_t>(i)];
    }
    spline_coeffs(t.data(), rri.data(), n, 1e30, 1e30, y2.data());
    std::vector<double> out(static_cast<std::size_t>(nres) + 1);
    for (int j = 1; j <= nres; ++j) spline_eval(t.data(), rri.data(), y2.data(), n, (j - 1) * dt, &out[static_cast<std::size_t>(j)]);
    return out;
}

void expect_same_as_splint(const std::vector<double>& rri, double dt, int nres) {
    std::vector<double> out(static_cast<std::size_t>(nres) + 1);
    resample(rri.data(), static_cast<int>(rri.size()) - 1, dt, nongauss::Interpolation::spline, out.data(), nres, nongauss::testing::pool_of());
    const std::vector<double> want = by_splint(rri, dt, nres);
    int differ = 0;
    for (int j = 1; j <= nres; ++j)
        differ += std::bit_cast<std::uint64_t>(out[static_cast<std::size_t>(j)]) != std::bit_cast<std::uint64_t>(want[static_cast<std::size_t>(j)]);
    EXPECT_EQ(differ, 0) << "dt " << dt << " nres " << nres;
}

TEST(SplineGrid, SameValuesAsSplintAtEveryPoint) {
    std::mt19937_64 rng(3);
    std::uniform_real_distribution<double> beat(0.4, 1.2);
    std::vector<double> rri(1, 0.0);
    for (int i = 0; i < 30000; ++i) rri.push_back(beat(rng));
    double total = 0.0;
    for (std::size_t i = 1; i + 1 < rri.size(); ++i) total += rri[i];
    // Grid steps finer and coarser than a beat, some landing on knots.
    for (double dt : {0.25, 0.1, 2.5, 0.0078125}) expect_same_as_splint(rri, dt, static_cast<int>(total / dt) - 1);
}

TEST(SplineGrid, GridPointsOnTheKnots) {
    // Intervals in whole 1/128 s, as Holter exports have them: every fourth
    // beat or so a grid point of 0.25 s falls exactly on a knot.
    std::mt19937_64 rng(4);
    std::vector<double> rri(1, 0.0);
    for (int i = 0; i < 5000; ++i) rri.push_back(static_cast<double>(80 + rng() % 60) / 128);
    double total = 0.0;
    for (std::size_t i = 1; i + 1 < rri.size(); ++i) total += rri[i];
    expect_same_as_splint(rri, 0.25, static_cast<int>(total / 0.25) - 1);
    expect_same_as_splint(rri, 0.0078125, static_cast<int>(total / 0.0078125) - 1);
}

TEST(SplineGrid, LastIntervalOfWidthZeroEndsAsSplintDoes) {
    // The last two knots share their time: a grid point at or past it
    // finds an interval of width 0.
    const std::vector<double> rri = {0.0, 1.0, 1.0, 1e-300, 1.0};
    std::vector<double> out(12);
    EXPECT_EQ(thrown_message([&] { resample(rri.data(), 4, 0.25, nongauss::Interpolation::spline, out.data(), 11, nongauss::testing::pool_of()); }),
              "Bad xa input to routine splint");
}

}  // namespace
}  // namespace nongauss
