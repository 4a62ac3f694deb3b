#include "numeric/lsq_normal.hpp"

#include <gtest/gtest.h>

#include <string>
#include <limits>

#include "numeric/arrays.hpp"
#include "support/errors.hpp"

namespace nongauss {
namespace {

using nongauss::testing::thrown_message;

TEST(PolyBasis, PowersAndTheSingleTermCase) {
    double p[6] = {-1.0, -1.0, -1.0, -1.0, -1.0, -1.0};
    poly_basis(-2.0, p, 4);
    EXPECT_EQ(p[1], 1.0);
    EXPECT_EQ(p[2], -2.0);
    EXPECT_EQ(p[4], -8.0);
    EXPECT_EQ(p[5], -1.0);
    poly_basis(5.0, p, 1);
    EXPECT_EQ(p[1], 1.0);
    EXPECT_EQ(p[2], -2.0);  // only p[1] is written

    const double a[] = {0.0, 1.0, -3.0, 0.5, 2.0};  // 1 - 3x + x^2/2 + 2x^3
    EXPECT_EQ(poly_eval(2.0, a, 4), 13.0);
    EXPECT_EQ(poly_eval(-1.0, a, 4), 2.5);
    EXPECT_EQ(poly_eval(1e300, a, 1), 1.0);
}

TEST(Gaussj, OffDiagonalPivotsAreUnscrambled) {
    // Every pivot lies off the diagonal; the inverse is exact in binary.
    const double vals[] = {0, 2, 0, 0, 0, 4, 8, 0, 0};
    const double inverse[] = {0, 0, 0.125, 0.5, 0, 0, 0, 0.25, 0};
    double** a = matrix(1, 3, 1, 3);
    double** b = matrix(1, 3, 1, 1);
    for (int i = 1; i <= 3; ++i) {
        for (int j = 1; j <= 3; ++j) a[i][j] = vals[(i - 1) * 3 + (j - 1)];
        b[i][1] = 2.0 * i;  // right-hand side (2, 4, 6): solution (0.75, 1, 1)
    }
    gauss_jordan_solve(a, 3, b, 1);
    for (int i = 1; i <= 3; ++i)
        for (int j = 1; j <= 3; ++j) EXPECT_EQ(a[i][j], inverse[(i - 1) * 3 + (j - 1)]) << i << j;
    EXPECT_EQ(b[1][1], 0.75);
    EXPECT_EQ(b[2][1], 1.0);
    EXPECT_EQ(b[3][1], 1.0);
    release_matrix(b, 1, 3, 1, 1);
    release_matrix(a, 1, 3, 1, 3);
}

TEST(FitNormalEq, RecoversAnExactPolynomial) {
    double x[13];
    double y[13];
    for (int i = 1; i <= 12; ++i) {
        x[i] = i;
        y[i] = 2.0 - 3.0 * x[i] + 0.5 * x[i] * x[i] - 0.125 * x[i] * x[i] * x[i];
    }
    double a[5];
    double chisq = -1.0;
    fit_normal_eq(x, y, 12, a, 4, &chisq);
    EXPECT_NEAR(a[1], 2.0, 1e-8);
    EXPECT_NEAR(a[2], -3.0, 1e-8);
    EXPECT_NEAR(a[3], 0.5, 1e-9);
    EXPECT_NEAR(a[4], -0.125, 1e-10);
    EXPECT_NEAR(chisq, 0.0, 1e-14);
}

TEST(FitNormalEq, StraightLineThroughScatter) {
    // Slope 0.8 and intercept 0.5 by hand; residuals -0.3, 0.9, -0.9, 0.3.
    const double x[] = {0.0, 1.0, 2.0, 3.0, 4.0};
    const double y[] = {0.0, 1.0, 3.0, 2.0, 4.0};
    double a[3];
    double chisq = -1.0;
    fit_normal_eq(x, y, 4, a, 2, &chisq);
    EXPECT_NEAR(a[1], 0.5, 1e-14);
    EXPECT_NEAR(a[2], 0.8, 1e-14);
    EXPECT_NEAR(chisq, 1.8, 1e-13);
}

TEST(Gaussj, SingularMatricesEndTheRun) {
    const std::string report = "gaussj: Singular Matrix-2";
    // Every abscissa 0: the normal matrix is [[n, 0], [0, 0]].
    const double x[] = {0.0, 0.0, 0.0, 0.0};
    const double y[] = {0.0, 1.0, 2.0, 4.0};
    double a[3];
    double chisq = 0.0;
    EXPECT_EQ(thrown_message([&] { fit_normal_eq(x, y, 3, a, 2, &chisq); }), report);

    // No pivot at all: every candidate is NaN.
    double** m = matrix(1, 2, 1, 2);
    double** b = matrix(1, 2, 1, 1);
    m[1][1] = m[1][2] = m[2][1] = m[2][2] = std::numeric_limits<double>::quiet_NaN();
    b[1][1] = b[2][1] = 1.0;
    EXPECT_EQ(thrown_message([&] { gauss_jordan_solve(m, 2, b, 1); }), report);
    release_matrix(b, 1, 2, 1, 1);
    release_matrix(m, 1, 2, 1, 2);
}

}  // namespace
}  // namespace nongauss
