#include "numeric/lsq_svd.hpp"

#include <gtest/gtest.h>

#include <string>
#include <cmath>
#include <limits>

#include "numeric/arrays.hpp"
#include "numeric/lsq_normal.hpp"
#include "support/errors.hpp"

namespace nongauss {
namespace {

using nongauss::testing::thrown_message;

TEST(SafeHypot, ValuesAndRange) {
    EXPECT_EQ(safe_hypot(0.0, 0.0), 0.0);
    EXPECT_EQ(safe_hypot(3.0, 4.0), 5.0);
    EXPECT_EQ(safe_hypot(-3.0, 4.0), 5.0);
    EXPECT_EQ(safe_hypot(4.0, -3.0), 5.0);
    // Squaring either operand would overflow or underflow.
    EXPECT_DOUBLE_EQ(safe_hypot(3e200, 4e200), 5e200);
    EXPECT_DOUBLE_EQ(safe_hypot(3e-200, -4e-200), 5e-200);
}

TEST(SvdEdit, ThresholdIsRelativeAndStrict) {
    double w[] = {0.0, 1.0e-10, 0.5, std::nextafter(1.0e-10, 0.0), 1.0};
    svd_edit(w, 4);
    EXPECT_EQ(w[1], 1.0e-10);  // exactly at the threshold: kept
    EXPECT_EQ(w[2], 0.5);
    EXPECT_EQ(w[3], 0.0);  // just below: dropped
    EXPECT_EQ(w[4], 1.0);
}

// Decomposes the m x n matrix given row by row; checks U diag(w) V^T and V.
void check_decomposition(int m, int n, const double* vals) {
    double** u = matrix(1, m, 1, n);
    double** v = matrix(1, n, 1, n);
    double* w = vector(1, n);
    for (int i = 1; i <= m; ++i)
        for (int j = 1; j <= n; ++j) u[i][j] = vals[(i - 1) * n + (j - 1)];
    svd_decompose(u, m, n, w, v);
    for (int j = 1; j <= n; ++j) EXPECT_GE(w[j], 0.0) << j;
    for (int i = 1; i <= m; ++i)
        for (int j = 1; j <= n; ++j) {
            double s = 0.0;
            for (int k = 1; k <= n; ++k) s += u[i][k] * w[k] * v[j][k];
            EXPECT_NEAR(s, vals[(i - 1) * n + (j - 1)], 1e-12) << i << ',' << j;
        }
    for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= n; ++j) {
            double vtv = 0.0;
            for (int k = 1; k <= n; ++k) vtv += v[k][i] * v[k][j];
            EXPECT_NEAR(vtv, i == j ? 1.0 : 0.0, 1e-12) << i << ',' << j;
        }
    release_vector(w, 1, n);
    release_matrix(v, 1, n, 1, n);
    release_matrix(u, 1, m, 1, n);
}

TEST(Svdcmp, TallWideAndRankDeficientMatricesAreReproduced) {
    const double tall[] = {1, 2, 3, 4, 5, 6.5, -7, 8, 10, 0.5, 0, -1, 2, 2, 2};
    check_decomposition(5, 3, tall);
    const double wide[] = {1, -2, 3, 0.5, 4, 0, -1, 2};
    check_decomposition(2, 4, wide);
    const double rank_one[] = {1, 2, 2, 4, 3, 6};
    check_decomposition(3, 2, rank_one);
}

TEST(Svdcmp, DiagonalValuesStayUnsortedAndTurnNonNegative) {
    double** u = matrix(1, 3, 1, 3);
    double** v = matrix(1, 3, 1, 3);
    double w[4];
    for (int i = 1; i <= 3; ++i)
        for (int j = 1; j <= 3; ++j) u[i][j] = 0.0;
    u[1][1] = 2.0;
    u[2][2] = -5.0;
    u[3][3] = 3.0;
    svd_decompose(u, 3, 3, w, v);
    EXPECT_DOUBLE_EQ(w[1], 2.0);
    EXPECT_DOUBLE_EQ(w[2], 5.0);
    EXPECT_DOUBLE_EQ(w[3], 3.0);
    release_matrix(v, 1, 3, 1, 3);
    release_matrix(u, 1, 3, 1, 3);
}

TEST(FitSvd, AgreesWithTheNormalEquations) {
    double x[17];
    double y[17];
    for (int i = 1; i <= 16; ++i) {
        x[i] = i;
        y[i] = std::sin(0.7 * i) + 0.1 * i;
    }
    double a_svd[4];
    double a_ne[4];
    double chi_svd = -1.0;
    double chi_ne = -1.0;
    fit_svd(x, y, 16, a_svd, 3, &chi_svd);
    fit_normal_eq(x, y, 16, a_ne, 3, &chi_ne);
    for (int j = 1; j <= 3; ++j) EXPECT_NEAR(a_svd[j], a_ne[j], 1e-10) << j;
    EXPECT_NEAR(chi_svd, chi_ne, 1e-10);
    EXPECT_GT(chi_svd, 1.0);

    for (int i = 1; i <= 16; ++i) y[i] = -1.0 + 0.25 * x[i] - 2.0 * x[i] * x[i];
    fit_svd(x, y, 16, a_svd, 3, &chi_svd);  // exact data come back exactly
    EXPECT_NEAR(a_svd[1], -1.0, 1e-10);
    EXPECT_NEAR(a_svd[2], 0.25, 1e-11);
    EXPECT_NEAR(a_svd[3], -2.0, 1e-12);
    EXPECT_NEAR(chi_svd, 0.0, 1e-16);
}

TEST(FitSvd, RankDeficientDesignStillFits) {
    // Every abscissa 0: the slope column vanishes, the fit is the mean.
    const double x[] = {0.0, 0.0, 0.0, 0.0, 0.0};
    const double y[] = {0.0, 1.0, 2.0, 4.0, 9.0};
    double a[3];
    double chisq = -1.0;
    fit_svd(x, y, 4, a, 2, &chisq);
    EXPECT_EQ(a[2], 0.0);
    EXPECT_NEAR(a[1], 4.0, 1e-14);
    EXPECT_NEAR(chisq, 9.0 + 4.0 + 0.0 + 25.0, 1e-12);
}

TEST(Svdcmp, NanInputDoesNotConverge) {
    double** u = matrix(1, 2, 1, 2);
    double** v = matrix(1, 2, 1, 2);
    double w[3];
    u[1][1] = u[2][2] = std::numeric_limits<double>::quiet_NaN();
    u[1][2] = u[2][1] = 1.0;
    EXPECT_EQ(thrown_message([&] { svd_decompose(u, 2, 2, w, v); }), "no convergence in 30 svdcmp iterations");
    release_matrix(v, 1, 2, 1, 2);
    release_matrix(u, 1, 2, 1, 2);
}

}  // namespace
}  // namespace nongauss
