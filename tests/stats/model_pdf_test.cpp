#include "stats/model_pdf.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "numeric/arrays.hpp"
#include "support/pool.hpp"

namespace nongauss {
namespace {

// The model density at the given abscissae, with the table made the way the
// driver makes it.
std::vector<double> model_density(double lambda, const std::vector<double>& xs) {
    const int n = static_cast<int>(xs.size());
    std::vector<double> centre(n + 1, 0.0);
    std::vector<double> p(n + 1, -1.0);
    for (int i = 0; i < n; ++i) centre[i + 1] = xs[i];
    double* table = vector(1, 100000);
    compute_model_pdf(lambda, n, centre.data(), p.data(), table, nongauss::testing::pool_of());
    release_vector(table, 1, 100000);
    return std::vector<double>(p.begin() + 1, p.end());
}

TEST(ModelPdf, KernelAndIntegrand) {
    EXPECT_NEAR(gaussian_kernel(0.0, 2.0), 0.3989422804014327, 1e-17);
    EXPECT_NEAR(gaussian_kernel(1.0, 1.0), 0.24197072451914337, 1e-16);
    // The integrand is the log-normal density of sigma times N(x; 0, sigma^2).
    const double ls = 0.1;
    const double l = std::sqrt(ls);
    for (double sigma : {0.3, 1.0, 2.2}) {
        const double z = (std::log(sigma) + ls) / l;
        const double g = std::exp(-z * z / 2) / (std::sqrt(2 * std::numbers::pi) * l * sigma);
        const double phi = std::exp(-0.7 * 0.7 / (2 * sigma * sigma)) / (std::sqrt(2 * std::numbers::pi) * sigma);
        EXPECT_NEAR(model_integrand(sigma, 0.7, ls, l), g * phi, 1e-15) << sigma;
    }
}

TEST(ModelPdf, KnownValuesAtLambdaSquaredPointOne) {
    const std::vector<double> p = model_density(std::sqrt(0.1), {0.5, 1.0, 2.0, 4.0, -2.0});
    EXPECT_NEAR(p[0], 0.3733105842, 5e-11);
    EXPECT_NEAR(p[1], 0.2146750061, 5e-11);
    EXPECT_NEAR(p[2], 0.04489277073, 5e-12);
    EXPECT_NEAR(p[3], 0.001428293095, 5e-13);
    EXPECT_EQ(p[4], p[2]);  // even in x
}

TEST(ModelPdf, SmallLambdaApproachesTheStandardNormal) {
    const double normal = 0.3520653267642995;  // at x = 0.5
    const double at_01 = model_density(0.1, {0.5})[0];
    const double at_003 = model_density(0.03, {0.5})[0];
    EXPECT_NEAR(at_01, 0.3547611, 5e-8);
    EXPECT_LT(std::fabs(at_003 - normal), std::fabs(at_01 - normal));
}

TEST(ModelPdf, DensityHasUnitMassAndVariance) {
    std::vector<double> xs;
    const double step = 0.05;
    for (int i = -400; i < 400; ++i) xs.push_back((i + 0.5) * step);
    const std::vector<double> p = model_density(std::sqrt(0.1), xs);
    double mass = 0;
    double second = 0;
    for (std::size_t i = 0; i < xs.size(); ++i) {
        mass += p[i] * step;
        second += xs[i] * xs[i] * p[i] * step;
    }
    EXPECT_NEAR(mass, 1.0, 1e-4);
    EXPECT_NEAR(second, 1.0, 2e-3);
}

TEST(ModelPdf, LambdaZeroGivesTheStandardNormal) {
    const std::vector<double> p = model_density(0.0, {0.5, 1.0, 2.0, 4.0, -1.0});
    EXPECT_NEAR(p[0], 0.3520653268, 5e-11);
    EXPECT_NEAR(p[1], 0.2419707245, 5e-11);
    EXPECT_NEAR(p[2], 0.05399096651, 5e-12);
    EXPECT_NEAR(p[3], 0.0001338302258, 5e-14);
    EXPECT_EQ(p[4], p[1]);
}

}  // namespace
}  // namespace nongauss
