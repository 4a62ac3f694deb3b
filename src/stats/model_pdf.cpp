#include "stats/model_pdf.hpp"

#include <cmath>

#include "numeric/de_quadrature.hpp"
#include "numeric/parallel.hpp"

namespace nongauss {

double gaussian_kernel(double x, double s) {
    return std::exp(-(x * x) / ((2 * s) * s)) * 0.3989422804014327;
}

double model_integrand(double sigma, double model_x, double lambda_sq, double lambda) {
    double t = std::log(sigma) + lambda_sq;
    t = t * t;
    const double e = std::exp(-t / (2 * lambda_sq)) * 0.3989422804014327;
    const double g = gaussian_kernel(model_x, sigma);
    return (g * e) / ((sigma * sigma) * lambda);
}

void compute_model_pdf(double lambda, int nbins, const double* bin_centre, double* p_model,
                       double* table) {
    const double lambda_sq = lambda * lambda;
    if (lambda_sq == 0.0) {
        // The integrand is undefined here; store the lambda -> 0 limit.
        for (int i = 1; i <= nbins; ++i) {
            const double x = bin_centre[i];
            p_model[i] = std::exp(-(x * x) / 2.0) * 0.3989422804014327;
        }
        return;
    }

    de_init_halfline(100000, 1e-307, 1e-16, table);
    // Each bin is integrated on its own, so the bins can go to all cores.
    parallel_parts(1, static_cast<long>(nbins) + 1, 8, [=](int, long begin, long end) {
        for (long i = begin; i < end; ++i) {
            const double model_x = bin_centre[i];
            double result = 0;
            double err = 0;
            de_integrate_halfline(
                [model_x, lambda_sq, lambda](double sigma) {
                    return model_integrand(sigma, model_x, lambda_sq, lambda);
                },
                0.0, table, result, err);
            p_model[i] = result;  // a negative err (no convergence) is not acted on
        }
    });
}

}  // namespace nongauss
