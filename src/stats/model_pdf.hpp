#pragma once

// The model density: a superposition of zero-mean Gaussians whose standard
// deviation s is log-normal, ln s ~ N(-lambda^2, lambda^2), integrated over s
// by double-exponential quadrature at every bin centre.

namespace nongauss {

class ThreadPool;

/// exp(-(x x) / (2 s s)) / sqrt(2 pi), without the 1/s factor.
double gaussian_kernel(double x, double s);

/// The integrand at sigma > 0: the log-normal density of sigma times the
/// Gaussian density of model_x at standard deviation sigma.
double model_integrand(double sigma, double model_x, double lambda_sq, double lambda);

/// Length of the quadrature table of the model stage.
inline constexpr int model_table_length = 100000;

/// The model stage. table holds at least model_table_length doubles addressed
/// from 0 (the caller's vector(1, model_table_length)); it is (re)built here with
/// de_init_halfline(model_table_length, 1e-307, 1e-16, table) and p_model[1..nbins]
/// receives the integral at each bin_centre[1..nbins]. When lambda * lambda
/// is 0 the model's limit, the standard normal density, is stored instead
/// (the table is then left untouched).
void compute_model_pdf(double lambda, int nbins, const double* bin_centre, double* p_model,
                       double* table, ThreadPool& pool);

}  // namespace nongauss
