#pragma once

// The non-Gaussianity parameter lambda from an absolute moment of the
// standardised increments, under the model in which each increment is a
// zero-mean Gaussian whose standard deviation s has ln s ~ N(-lambda^2, lambda^2).

namespace nongauss {

class ThreadPool;

/// ln Gamma(x) for x > 0 by a six-term series; within 1e-12 of the true value
/// over 0.05 <= x <= 10.
double log_gamma(double x);

/// Orders q with 0 < |q| below this are too close to 0 for the closed form of
/// the estimator, whose terms cancel: the logarithmic moment, its limit as
/// q -> 0, is used instead (see lambda.cpp for the measurement behind it).
inline constexpr double smallest_closed_form_order = 1e-6;

/// The order the estimator works with: q raised to -0.9 when it is below
/// -0.9, and 0 (the logarithmic moment) when |q| < smallest_closed_form_order.
double effective_moment_order(double moment_order);

/// The estimate of lambda^2 from values[i] / divisor, i = 1..count
/// (the increments standardised as the division makes them, without storing
/// them), with the moment order q
/// taken through effective_moment_order: from the mean of ln|x| when it is 0,
/// from the mean of |x|^q otherwise. Any value: 0, negative, infinite or not a
/// number (e.g. q = 2, or a zero increment with q <= 0) are possible.
double estimate_lambda_sq(const double* values, int count, double moment_order, double divisor,
                          ThreadPool& pool);

/// Lambda from its squared estimate: the square root when the estimate is
/// positive and finite, otherwise 0 (the stage then writes
/// "square of lambda = %lf\n" with the estimate to the transcript).
double lambda_from_estimate(double estimate);

}  // namespace nongauss
