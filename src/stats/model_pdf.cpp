#include "stats/model_pdf.hpp"

#include <cmath>
#include <memory>
#include <vector>

#include "numeric/de_quadrature.hpp"
#include "nongauss/thread_pool.hpp"

namespace nongauss {

double gaussian_kernel(double x, double s) {
    return std::exp(-(x * x) / ((2 * s) * s)) * 0.3989422804014327;
}

namespace {

// The factors of the integrand that do not depend on x: the log-normal
// density's exponential and the divisor.
double lognormal_factor(double sigma, double lambda_sq) {
    double t = std::log(sigma) + lambda_sq;
    t = t * t;
    return std::exp(-t / (2 * lambda_sq)) * 0.3989422804014327;
}

double divisor(double sigma, double lambda) { return (sigma * sigma) * lambda; }

// The integrand's factors for the abscissa of each table slot, worked out on
// first use: every bin integrates over the same abscissae, so the logarithm
// and one exponential are done once per slot instead of once per evaluation.
// The abscissae are the centre (slot 5) and the first two entries of the
// six-entry records from slot 11 on: slots 6q + 5 and 6q, which slot / 3
// keeps apart (2q + 1 and 2q) in a third of the table's length. Each place
// remembers its slot, so that another slot meeting it (there is none in this
// layout) is worked out again rather than taken for it.
class SlotFactors {
public:
    SlotFactors(const double* table, int len, double lambda_sq, double lambda)
        : table_(table), lambda_sq_(lambda_sq), lambda_(lambda),
          factors_(new Factors[static_cast<std::size_t>(len) / 3 + 1]),
          slot_of_(static_cast<std::size_t>(len) / 3 + 1, -1) {}

    // The integrand at a = 0 + table[j] for x.
    double integrand(int j, double x) {
        const double sigma = 0.0 + table_[j];
        const auto place = static_cast<std::size_t>(j / 3);
        Factors& f = factors_[place];
        if (slot_of_[place] != j) {
            f.factor = lognormal_factor(sigma, lambda_sq_);
            f.divisor = divisor(sigma, lambda_);
            slot_of_[place] = j;
        }
        return (gaussian_kernel(x, sigma) * f.factor) / f.divisor;
    }

private:
    struct Factors {
        double factor;
        double divisor;
    };
    const double* table_;
    double lambda_sq_;
    double lambda_;
    std::unique_ptr<Factors[]> factors_;
    std::vector<int> slot_of_;
};

}  // namespace

double model_integrand(double sigma, double model_x, double lambda_sq, double lambda) {
    const double e = lognormal_factor(sigma, lambda_sq);
    const double g = gaussian_kernel(model_x, sigma);
    return (g * e) / divisor(sigma, lambda);
}

void compute_model_pdf(double lambda, int nbins, const double* bin_centre, double* p_model,
                       double* table, ThreadPool& pool) {
    const double lambda_sq = lambda * lambda;
    if (lambda_sq == 0.0) {
        // The integrand is undefined here; store the lambda -> 0 limit.
        for (int i = 1; i <= nbins; ++i) {
            const double x = bin_centre[i];
            p_model[i] = std::exp(-(x * x) / 2.0) * 0.3989422804014327;
        }
        return;
    }

    constexpr int table_length = model_table_length;
    de_init_halfline(table_length, 1e-307, 1e-16, table);
    // Each bin is integrated on its own, so the bins can go to all cores; each
    // core keeps the factors of the abscissae it has met. The integrand is
    // model_integrand(0.0 + table[j], x, lambda_sq, lambda) at every slot j.
    std::vector<std::unique_ptr<SlotFactors>> factors(static_cast<std::size_t>(pool.size()));
    for (auto& f : factors) f = std::make_unique<SlotFactors>(table, table_length, lambda_sq, lambda);
    pool.parallel_parts(1, static_cast<long>(nbins) + 1, 8, [&](int part, long begin, long end) {
        SlotFactors& slots = *factors[static_cast<std::size_t>(part)];
        for (long i = begin; i < end; ++i) {
            const double model_x = bin_centre[i];
            double result = 0;
            double err = 0;
            de_integrate_slots([&slots, model_x](int j) { return slots.integrand(j, model_x); }, table,
                               result, err);
            p_model[i] = result;  // a negative err (no convergence) is not acted on
        }
    }, static_cast<int>(factors.size()));
}

}  // namespace nongauss
