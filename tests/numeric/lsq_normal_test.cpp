#include "numeric/lsq_normal.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "numeric/arrays.hpp"

namespace nongauss {
namespace {

// A matrix [1..n][1..n] filled row by row from `values`.
double** square(int n, const double* values) {
    double** m = matrix(1, n, 1, n);
    for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= n; ++j) m[i][j] = values[(i - 1) * n + (j - 1)];
    return m;
}

TEST(PolyBasis, PowersByRepeatedMultiplication) {
    double p[6] = {-1.0, -1.0, -1.0, -1.0, -1.0, -1.0};
    poly_basis(-2.0, p, 5);
    EXPECT_EQ(p[1], 1.0);
    EXPECT_EQ(p[2], -2.0);
    EXPECT_EQ(p[3], 4.0);
    EXPECT_EQ(p[5], 16.0);

    double q[3] = {-1.0, -1.0, -1.0};
    poly_basis(5.0, q, 1);
    EXPECT_EQ(q[1], 1.0);
    EXPECT_EQ(q[2], -1.0);  // only p[1] is written
    poly_basis(5.0, q, 0);
    EXPECT_EQ(q[1], 1.0);
}

TEST(PolyEval, ConstantTermAndPowers) {
    const double c[] = {0.0, 4.0};
    EXPECT_EQ(poly_eval(1e300, c, 1), 4.0);
    EXPECT_EQ(poly_eval(std::numeric_limits<double>::quiet_NaN(), c, 1), 4.0);
    const double a[] = {0.0, 1.0, -3.0, 0.5, 2.0};  // 1 - 3x + x^2/2 + 2x^3
    EXPECT_EQ(poly_eval(2.0, a, 4), 13.0);
    EXPECT_EQ(poly_eval(-1.0, a, 4), 2.5);
}

TEST(Gaussj, IdentityStaysIdentityAndSolves) {
    const double id[] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    double** a = square(3, id);
    double** b = matrix(1, 3, 1, 2);
    for (int i = 1; i <= 3; ++i) {
        b[i][1] = i;
        b[i][2] = -2.0 * i;
    }
    gaussj(a, 3, b, 2);
    for (int i = 1; i <= 3; ++i) {
        for (int j = 1; j <= 3; ++j) EXPECT_EQ(a[i][j], i == j ? 1.0 : 0.0);
        EXPECT_EQ(b[i][1], i);
        EXPECT_EQ(b[i][2], -2.0 * i);
    }
    release_matrix(b, 1, 3, 1, 2);
    release_matrix(a, 1, 3, 1, 3);
}

TEST(Gaussj, OffDiagonalPivotsAreUnscrambled) {
    // Every pivot lies off the diagonal; the inverse is exact in binary.
    const double vals[] = {0, 2, 0, 0, 0, 4, 8, 0, 0};
    double** a = square(3, vals);
    double** b = matrix(1, 3, 1, 1);
    b[1][1] = 2.0;  // solution (1, 1, 1)
    b[2][1] = 4.0;
    b[3][1] = 8.0;
    gaussj(a, 3, b, 1);
    const double inverse[] = {0, 0, 0.125, 0.5, 0, 0, 0, 0.25, 0};
    for (int i = 1; i <= 3; ++i) {
        for (int j = 1; j <= 3; ++j) EXPECT_EQ(a[i][j], inverse[(i - 1) * 3 + (j - 1)]) << i << j;
        EXPECT_EQ(b[i][1], 1.0);
    }
    release_matrix(b, 1, 3, 1, 1);
    release_matrix(a, 1, 3, 1, 3);
}

TEST(Gaussj, GeneralMatrixInverseAndSolution) {
    const double vals[] = {2, -1, 0, 3, -1, 2, -1, 1, 0, -1, 2, 5, 1, 0, 4, -3};
    double** a = square(4, vals);
    double** b = matrix(1, 4, 1, 1);
    const double xs[] = {0.0, 1.5, -2.0, 0.25, 3.0};
    for (int i = 1; i <= 4; ++i) {
        b[i][1] = 0.0;
        for (int j = 1; j <= 4; ++j) b[i][1] += vals[(i - 1) * 4 + (j - 1)] * xs[j];
    }
    gaussj(a, 4, b, 1);
    for (int i = 1; i <= 4; ++i) {
        EXPECT_NEAR(b[i][1], xs[i], 1e-12);
        for (int j = 1; j <= 4; ++j) {
            double s = 0.0;
            for (int k = 1; k <= 4; ++k) s += vals[(i - 1) * 4 + (k - 1)] * a[k][j];
            EXPECT_NEAR(s, i == j ? 1.0 : 0.0, 1e-12) << i << j;
        }
    }
    release_matrix(b, 1, 4, 1, 1);
    release_matrix(a, 1, 4, 1, 4);
}

TEST(FitNormalEq, RecoversAnExactPolynomial) {
    const int ndat = 12;
    double x[ndat + 1];
    double y[ndat + 1];
    for (int i = 1; i <= ndat; ++i) {
        x[i] = i;
        y[i] = 2.0 - 3.0 * x[i] + 0.5 * x[i] * x[i] - 0.125 * x[i] * x[i] * x[i];
    }
    double a[5];
    double chisq = -1.0;
    fit_normal_eq(x, y, ndat, a, 4, &chisq);
    EXPECT_NEAR(a[1], 2.0, 1e-8);
    EXPECT_NEAR(a[2], -3.0, 1e-8);
    EXPECT_NEAR(a[3], 0.5, 1e-9);
    EXPECT_NEAR(a[4], -0.125, 1e-10);
    EXPECT_NEAR(chisq, 0.0, 1e-14);
    EXPECT_GE(chisq, 0.0);
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

TEST(GaussjDeathTest, SingularMatricesEndTheRun) {
    const char* report =
        "^Numerical Recipes run-time error\\.\\.\\.\n"
        "gaussj: Singular Matrix-2\n"
        "\\.\\.\\.now exiting to system\\.\\.\\.\n$";
    // Every abscissa 0: the normal matrix is [[n, 0], [0, 0]].
    const double x[] = {0.0, 0.0, 0.0, 0.0};
    const double y[] = {0.0, 1.0, 2.0, 4.0};
    double a[3];
    double chisq = 0.0;
    EXPECT_EXIT(fit_normal_eq(x, y, 3, a, 2, &chisq), ::testing::ExitedWithCode(1), report);

    // No pivot at all: every candidate is NaN.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double vals[] = {nan, nan, nan, nan};
    double** m = square(2, vals);
    double** b = matrix(1, 2, 1, 1);
    b[1][1] = b[2][1] = 1.0;
    EXPECT_EXIT(gaussj(m, 2, b, 1), ::testing::ExitedWithCode(1), report);
    release_matrix(b, 1, 2, 1, 1);
    release_matrix(m, 1, 2, 1, 2);
}

}  // namespace
}  // namespace nongauss
