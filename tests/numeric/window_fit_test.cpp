// Fits over shared abscissae must give, bit for bit, what the per-window fits
// give: the coefficients of fit_normal_eq / fit_svd and the values of poly_eval.
#include "numeric/window_fit.hpp"

#include <gtest/gtest.h>

#include <string>
#include <bit>
#include <cstdint>
#include <random>
#include <vector>

#include "numeric/lsq_normal.hpp"
#include "numeric/lsq_svd.hpp"
#include "support/errors.hpp"
#include "support/numbers.hpp"

namespace nongauss {
namespace {

using nongauss::testing::thrown_message;

using nongauss::testing::same_bits;

// Abscissae 1..n, as the detrending windows have them.
std::vector<double> window_abscissae(int n) {
    std::vector<double> x(static_cast<std::size_t>(n) + 1, 0.0);
    for (int k = 1; k <= n; ++k) x[static_cast<std::size_t>(k)] = k;
    return x;
}

// A random walk, like the profile a window is cut from.
std::vector<double> walk(int n, std::mt19937_64& rng) {
    std::normal_distribution<double> step(0.0, 0.05);
    std::vector<double> y(static_cast<std::size_t>(n) + 1, 0.0);
    double v = 0.0;
    for (int k = 1; k <= n; ++k) y[static_cast<std::size_t>(k)] = v += step(rng);
    return y;
}

// Compares the shared fit with the per-window fit on `windows` data sets.
void expect_same_as_each_window(int n, int ma, FitMethod method, int windows) {
    std::mt19937_64 rng(static_cast<std::uint64_t>(n * 131 + ma * 7 + (method == FitMethod::svd ? 2 : 1)));
    const std::vector<double> x = window_abscissae(n);
    const SharedAbscissaeFit shared(x.data(), n, ma, method);
    std::vector<double> a(static_cast<std::size_t>(ma) + 1), b(static_cast<std::size_t>(ma) + 1);
    for (int w = 0; w < windows; ++w) {
        const std::vector<double> y = walk(n, rng);
        double chisq = 0.0;
        if (method == FitMethod::svd)
            fit_svd(x.data(), y.data(), n, a.data(), ma, &chisq);
        else
            fit_normal_eq(x.data(), y.data(), n, a.data(), ma, &chisq);
        shared.fit(y.data(), b.data());
        for (int l = 1; l <= ma; ++l)
            ASSERT_TRUE(same_bits(a[l], b[l])) << "n " << n << " ma " << ma << " svd " << (method == FitMethod::svd) << " a[" << l
                                               << "] " << a[l] << " vs " << b[l];
        std::vector<double> residual(static_cast<std::size_t>(n) + 1);
        shared.residuals(y.data(), a.data(), residual.data());
        for (int k = 1; k <= n; ++k) {
            const double value = poly_eval(x[static_cast<std::size_t>(k)], a.data(), ma);
            ASSERT_TRUE(same_bits(value, shared.value(k, a.data()))) << "n " << n << " ma " << ma << " k " << k;
            ASSERT_TRUE(same_bits(y[static_cast<std::size_t>(k)] - value, residual[static_cast<std::size_t>(k)]))
                << "n " << n << " ma " << ma << " k " << k;
        }
    }
}

TEST(SharedAbscissaeFit, SameCoefficientsAndValuesAsEachWindowFit) {
    for (const FitMethod method : {FitMethod::normal_equations, FitMethod::svd})
        for (int ma : {1, 2, 3, 4, 5, 6, 7, 8, 9})
            for (int n : {4, 50, 200}) expect_same_as_each_window(n, ma, method, 5);
}

TEST(SharedAbscissaeFit, WithoutThePowerTable) {
    // More points times coefficients than the table keeps: the values come
    // from pow itself.
    const int n = static_cast<int>(SharedAbscissaeFit::max_power_table / 2) + 1;
    expect_same_as_each_window(n, 3, FitMethod::normal_equations, 1);
}

TEST(SharedAbscissaeFit, SingularSystemEndsAsTheFirstFitWould) {
    // A line through one point: the normal matrix is singular, and the
    // elimination meets an exact zero pivot whatever the ordinates are.
    const std::vector<double> x = window_abscissae(1);
    const std::vector<double> y = {0.0, 1.0};
    std::vector<double> a(3);
    double chisq = 0.0;
    const std::string message = "gaussj: Singular Matrix-2";
    EXPECT_EQ(thrown_message([&] { fit_normal_eq(x.data(), y.data(), 1, a.data(), 2, &chisq); }), message);
    EXPECT_EQ(thrown_message([&] { SharedAbscissaeFit(x.data(), 1, 2, FitMethod::normal_equations); }), message);
}

}  // namespace
}  // namespace nongauss
