#include "numeric/spline.hpp"
#include "support/errors.hpp"

#include <gtest/gtest.h>

#include <string>
#include <cmath>
#include <limits>

namespace nongauss {
namespace {

using nongauss::testing::thrown_message;

constexpr double natural = 1e30;
const double kx[] = {0.0, 0.0, 1.0, 3.0};  // knots (0, 1), (1, 2), (3, 3); slot 0 unused
const double ky[] = {0.0, 1.0, 2.0, 3.0};

double at(const double* xa, const double* ya, const double* y2a, int n, double x) {
    double y = 0.0;
    spline_eval(xa, ya, y2a, n, x, &y);
    return y;
}

TEST(Spline, NaturalEndsInterpolateAndExtrapolate) {
    double y2[4];
    spline_coeffs(kx, ky, 3, natural, natural, y2);
    EXPECT_EQ(y2[1], 0.0);
    EXPECT_EQ(y2[2], -0.5);
    EXPECT_EQ(y2[3], 0.0);
    EXPECT_EQ(at(kx, ky, y2, 3, 0.5), 1.53125);
    EXPECT_EQ(at(kx, ky, y2, 3, 1.0), 2.0);
    EXPECT_EQ(at(kx, ky, y2, 3, 1.5), 2.359375);
    EXPECT_EQ(at(kx, ky, y2, 3, 2.5), 2.828125);
    EXPECT_EQ(at(kx, ky, y2, 3, -1.0), 0.0);  // first cubic: a = 2, b = -1
    EXPECT_EQ(at(kx, ky, y2, 3, 4.0), 3.375);  // last cubic: a = -0.5, b = 1.5

    const double x2[] = {0.0, -1.0, 3.0};
    const double y2pts[] = {0.0, 5.0, -3.0};
    double d2[3];
    spline_coeffs(x2, y2pts, 2, natural, natural, d2);  // two knots: a straight line
    EXPECT_EQ(d2[1], 0.0);
    EXPECT_EQ(d2[2], 0.0);
    EXPECT_EQ(at(x2, y2pts, d2, 2, -3.0), 9.0);
}

TEST(Spline, ClampedEndsAndTheNaturalLimit) {
    double y2[4];
    spline_coeffs(kx, ky, 3, 0.0, 0.0, y2);  // thirds round: equal to a few ulps
    EXPECT_DOUBLE_EQ(y2[1], 3.5);
    EXPECT_DOUBLE_EQ(y2[2], -1.0);
    EXPECT_DOUBLE_EQ(y2[3], -0.25);
    // 9.9e29 itself is a prescribed slope, not a natural end.
    spline_coeffs(kx, ky, 3, 9.9e29, natural, y2);
    EXPECT_GT(std::fabs(y2[1]), 1e29);
    EXPECT_EQ(y2[3], 0.0);
    spline_coeffs(kx, ky, 3, natural, 9.9e29, y2);
    EXPECT_EQ(y2[1], 0.0);
    EXPECT_GT(std::fabs(y2[3]), 1e29);
}

TEST(Spline, ClampedSplineReproducesACubic) {
    // With the true end slopes, the spline through points of x^3 is x^3 itself.
    const double x[] = {0.0, -1.0, -0.25, 0.5, 1.75, 2.0, 3.5};
    double y[7];
    double y2[7];
    for (int i = 1; i <= 6; ++i) y[i] = x[i] * x[i] * x[i];
    spline_coeffs(x, y, 6, 3.0, 3.0 * 3.5 * 3.5, y2);
    for (int i = 1; i <= 6; ++i) EXPECT_NEAR(y2[i], 6.0 * x[i], 1e-12) << i;
    for (double t = -1.5; t <= 4.0; t += 0.125) EXPECT_NEAR(at(x, y, y2, 6, t), t * t * t, 1e-11) << t;
}

TEST(Spline, KnotsAreExactAndInteriorKnotsUseTheRightInterval) {
    double y2[4];
    spline_coeffs(kx, ky, 3, 0.0, 0.0, y2);
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(at(kx, ky, y2, 3, kx[i]), ky[i]);
    // A NaN second derivative at knot 1 only reaches values on [x1, x2).
    const double poisoned[] = {0.0, std::numeric_limits<double>::quiet_NaN(), 0.0, 0.0};
    EXPECT_TRUE(std::isnan(at(kx, ky, poisoned, 3, 0.5)));
    EXPECT_EQ(at(kx, ky, poisoned, 3, 1.0), 2.0);
}

TEST(Spline, EqualBracketingAbscissaeEndTheRun) {
    const std::string report = "Bad xa input to routine splint";
    EXPECT_EQ(thrown_message([&] { at(kx, ky, ky, 1, 0.0); }), report);
    // x = 2 is bracketed by the two knots at 1; x = 0.5 never meets them.
    const double xd[] = {0.0, 0.0, 1.0, 1.0};
    const double zero[] = {0.0, 0.0, 0.0, 0.0};
    EXPECT_EQ(at(xd, ky, zero, 3, 0.5), 1.5);
    EXPECT_EQ(thrown_message([&] { at(xd, ky, zero, 3, 2.0); }), report);
}

}  // namespace
}  // namespace nongauss
