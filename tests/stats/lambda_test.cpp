#include "stats/lambda.hpp"
#include "nongauss/formatted.hpp"
#include "support/pool.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace nongauss {
namespace {

// Runs the stage on values[0..] (handed over as a 1-based array) and returns
// lambda; the standard error text goes to *message.
double run_stage(const std::vector<double>& values, double& q, std::string* message) {
    std::vector<double> series(values.size() + 1, 0.0);
    for (std::size_t i = 0; i < values.size(); ++i) series[i + 1] = values[i];
    const double estimate = estimate_lambda_sq(series.data(), static_cast<int>(values.size()), q, 1.0, nongauss::testing::pool_of());
    const double lambda = lambda_from_estimate(estimate);
    // The line the stage writes when there is no lambda.
    *message = lambda == 0.0 ? formatted("square of lambda = %lf\n", estimate) : "";
    return lambda;
}

// A generator whose output does not depend on the standard library's
// distributions: splitmix64 and Box-Muller.
class Normal {
public:
    explicit Normal(std::uint64_t seed) : state_(seed) {}
    double next() {
        const double u1 = 1.0 - uniform();  // (0, 1]
        const double u2 = uniform();
        return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
    }

private:
    double uniform() { return static_cast<double>(bits() >> 11) * 0x1.0p-53; }
    std::uint64_t bits() {
        std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    std::uint64_t state_;
};

// n increments of the model with the given lambda^2, standardised to mean 0
// and population standard deviation 1 as the driver does.
std::vector<double> model_sample(int n, double lambda_sq, std::uint64_t seed) {
    Normal gen(seed);
    std::vector<double> x(n);
    double sum = 0;
    for (double& v : x) {
        const double sigma = std::exp(-lambda_sq + std::sqrt(lambda_sq) * gen.next());
        v = sigma * gen.next();
        sum += v;
    }
    const double mean = sum / n;
    double ss = 0;
    for (double& v : x) {
        v -= mean;
        ss += v * v;
    }
    const double sd = std::sqrt(ss / n);
    for (double& v : x) v /= sd;
    return x;
}

TEST(LogGamma, KnownValues) {
    EXPECT_NEAR(log_gamma(1.0), 0.0, 1e-13);
    EXPECT_NEAR(log_gamma(0.5), 0.5723649429247, 1e-13);
    EXPECT_NEAR(log_gamma(1.5), -0.1207822376352, 1e-13);
    // Over the range the stage uses: Gamma(x + 1) = x Gamma(x).
    for (double x = 0.05; x < 10; x += 0.37)
        EXPECT_NEAR(log_gamma(x + 1), log_gamma(x) + std::log(x), 2e-12) << x;
}

TEST(EstimateLambda, UnitValuesGiveNegativeEstimateAndMessage) {
    const std::vector<double> ones{1.0, -1.0};
    struct Case {
        double q;
        const char* text;
    };
    for (const Case c : {Case{0.0, "square of lambda = -0.635181\n"},
                         Case{-0.0, "square of lambda = -0.635181\n"},
                         Case{0.25, "square of lambda = -0.570935\n"},
                         Case{1.0, "square of lambda = -0.451583\n"}}) {
        double q = c.q;
        std::string message;
        EXPECT_EQ(run_stage(ones, q, &message), 0.0) << c.q;
        EXPECT_EQ(message, c.text) << c.q;
        EXPECT_EQ(q, c.q);
    }
}

TEST(EstimateLambda, ClampsTheOrderBelowMinusPointNine) {
    const std::vector<double> data{0.3, -1.7, 0.9, 2.4, -0.2, -1.1};
    double q_low = -2.0;
    double q_limit = -0.9;
    std::string m_low;
    std::string m_limit;
    const double from_low = run_stage(data, q_low, &m_low);
    const double at_limit = run_stage(data, q_limit, &m_limit);
    EXPECT_EQ(from_low, at_limit);
    EXPECT_EQ(m_low, m_limit);
}

TEST(EstimateLambda, NonFiniteEstimatesFallBackToZero) {
    std::string message;
    // q = 2 divides by zero; with mean |x|^2 = 4 the estimate is +infinity.
    double q = 2.0;
    EXPECT_EQ(run_stage({2.0, -2.0}, q, &message), 0.0);
    EXPECT_EQ(message, "square of lambda = inf\n");

    // A zero increment: ln 0 (q = 0) and 0 to a negative power both give +inf.
    for (double order : {0.0, -0.5}) {
        q = order;
        EXPECT_EQ(run_stage({0.0, 1.3, -0.8}, q, &message), 0.0) << order;
        EXPECT_EQ(message, "square of lambda = inf\n") << order;
    }

    // An order that is not a number is kept and gives a NaN estimate.
    q = NAN;
    EXPECT_EQ(run_stage({0.5, -1.5}, q, &message), 0.0);
    EXPECT_TRUE(std::isnan(q));
    EXPECT_NE(message.find("nan\n"), std::string::npos) << message;
}

TEST(EstimateLambda, RecoversLambdaFromAModelSample) {
    const std::vector<double> sample = model_sample(400000, 0.1, 20240611);
    for (double order : {0.0, 0.25, 1.0}) {
        double q = order;
        std::string message;
        const double lambda = run_stage(sample, q, &message);
        EXPECT_TRUE(message.empty()) << message;
        EXPECT_NEAR(lambda * lambda, 0.1, 0.005) << "q = " << order;
    }
}

TEST(EstimateLambda, GaussianSampleGivesSmallEstimate) {
    const std::vector<double> sample = model_sample(400000, 0.0, 7);
    for (double order : {0.0, 0.25, 1.0}) {
        double q = order;
        std::string message;
        const double lambda = run_stage(sample, q, &message);
        // Either a small positive estimate or the fallback with a small negative one.
        if (lambda > 0) {
            EXPECT_TRUE(message.empty());
            EXPECT_LT(lambda * lambda, 0.01) << "q = " << order;
        } else {
            ASSERT_EQ(message.rfind("square of lambda = ", 0), 0u) << message;
            const double estimate = std::stod(message.substr(19));
            EXPECT_LE(estimate, 0.0);
            EXPECT_GT(estimate, -0.01) << "q = " << order;
        }
    }
}

}  // namespace
}  // namespace nongauss
