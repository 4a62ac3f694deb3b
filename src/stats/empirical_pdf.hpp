#pragma once

// Histogram estimate of the density of the standardised increments.

namespace nongauss {

class ThreadPool;

/// The values are x[i] / divisor, i = 1..n (the increments standardised as the
/// division makes them, without storing them).
/// Lays nbins equal bins over the range [-R, R] symmetric about 0 (R the
/// largest absolute value of the values), aligned so that the multiples of the
/// bin width w = 2R / (nbins - 1) are bin edges, and writes every element of
/// bin_centre[1..nbins] and p_exp[1..nbins] (count / (n w)). Values whose bin
/// index falls outside 1..nbins count in no bin but still in n. When R is 0
/// or not finite, p_exp stays 0 (bin_centre is computed all the same); a value
/// that is not a number counts in no bin. n < 1 gives zeros in both arrays.
void estimate_pdf(int n, const double* x, int nbins, double* bin_centre, double* p_exp, double divisor,
                  ThreadPool& pool);

}  // namespace nongauss
