// The lambda sum and the model density are worked out on several cores; the
// results must be those of the one-thread computation, bit for bit.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "numeric/arrays.hpp"
#include "numeric/de_quadrature.hpp"
#include "stats/empirical_pdf.hpp"
#include "stats/lambda.hpp"
#include "stats/model_pdf.hpp"
#include "support/pool.hpp"
#include "support/numbers.hpp"

namespace nongauss {
namespace {

using nongauss::testing::same_bits;

TEST(ParallelStats, LambdaSumIsAddedInIndexOrder) {
    // Gaussians of log-normal spread (lambda 0.5): a million terms whose sum
    // rounds differently in any other order of additions.
    std::mt19937_64 rng(11);
    std::normal_distribution<double> z(0.0, 1.0);
    const int n = (1 << 20) + 4099;  // more than one chunk of terms
    std::vector<double> x(static_cast<std::size_t>(n) + 1);
    for (int i = 1; i <= n; ++i) x[static_cast<std::size_t>(i)] = z(rng) * std::exp(0.5 * z(rng) - 0.25);
    for (double q : {0.25, 0.0, -0.5}) {
        double s = 0;
        for (int i = 1; i <= n; ++i) {
            const double a = std::fabs(x[static_cast<std::size_t>(i)]);
            s = (q == 0.0 ? std::log(a) : std::pow(a, q)) + s;
        }
        const double m = s / static_cast<double>(n);
        double want = 0.0;
        if (q == 0.0) {
            want = (-m) - 0.6351814227307391;
        } else {
            const double f = 2 / ((q - 2) * q);
            want = ((std::log(1.772453850905516 * m) - std::log(2.0) * (0.5 * q)) - log_gamma((q + 1) / 2)) * f;
        }
        const double lambda = lambda_from_estimate(estimate_lambda_sq(x.data(), n, q, 1.0, nongauss::testing::pool_of()));
        ASSERT_GT(want, 0.0);
        EXPECT_TRUE(same_bits(lambda, std::sqrt(want))) << "q " << q << ": " << lambda << " vs " << std::sqrt(want);
    }
}

TEST(ParallelStats, HistogramCountsEveryValueOnce) {
    // Multiples of 1/1024 in [-2, 2] with 5 bins: width 1, centres -1.5 ..
    // 2.5, and a value v falls in bin floor(v + 3), all exactly.
    std::mt19937_64 rng(12);
    const int n = 200001;
    std::vector<double> x(static_cast<std::size_t>(n) + 1);
    for (int i = 1; i <= n; ++i)
        x[static_cast<std::size_t>(i)] = static_cast<double>(static_cast<int>(rng() % 4097) - 2048) / 1024;
    x[1] = 2.0;
    x[2] = -2.0;
    x[7] = std::nan("");  // counts in no bin, but in n
    std::vector<double> count(6, 0.0);
    for (int i = 1; i <= n; ++i)
        if (i != 7) count[static_cast<std::size_t>(std::floor(x[static_cast<std::size_t>(i)] + 3))] += 1;
    std::vector<double> centre(6), p(6);
    estimate_pdf(n, x.data(), 5, centre.data(), p.data(), 1.0, nongauss::testing::pool_of());
    EXPECT_EQ(centre[1], -1.5);
    EXPECT_EQ(centre[5], 2.5);
    for (int k = 1; k <= 5; ++k) EXPECT_EQ(p[static_cast<std::size_t>(k)], count[static_cast<std::size_t>(k)] / n) << k;
}

TEST(ParallelStats, ModelDensitySameAsIntegratingEachBin) {
    constexpr int table_length = 100000;
    double* table = vector(1, table_length);
    double* reference_table = vector(1, table_length);
    de_init_halfline(table_length, 1e-307, 1e-16, reference_table);
    for (double lambda : {0.05, 0.4, 1.3}) {
        const int nbins = 301;
        std::vector<double> centre(nbins + 1), p(nbins + 1);
        for (int i = 1; i <= nbins; ++i) centre[static_cast<std::size_t>(i)] = (i - 151) * 0.07;
        compute_model_pdf(lambda, nbins, centre.data(), p.data(), table, nongauss::testing::pool_of());
        const double ls = lambda * lambda;
        int differ = 0;
        for (int i = 1; i <= nbins; ++i) {
            const double x = centre[static_cast<std::size_t>(i)];
            double result = 0;
            double err = 0;
            de_integrate_halfline([x, ls, lambda](double s) { return model_integrand(s, x, ls, lambda); }, 0.0,
                                  reference_table, result, err);
            differ += !same_bits(p[static_cast<std::size_t>(i)], result);
        }
        EXPECT_EQ(differ, 0) << "lambda " << lambda;
    }
    release_vector(table, 1, table_length);
    release_vector(reference_table, 1, table_length);
}

}  // namespace
}  // namespace nongauss
