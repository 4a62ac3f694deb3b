#pragma once

// Double-exponential quadrature over a half-line [a, inf): the substitution
// x = a + exp((pi/2) sinh u) makes the integrand decay double-exponentially in
// u, and the trapezoidal rule in u is refined by halving its step until two
// successive estimates agree.
//
// Table layout (doubles, integral values where they hold counts):
//   [0] K, where the last record slot of the last level starts
//   [1] P, the number of entries reserved for every run of records
//   [2] eps   [3] tail threshold factor   [4] sqrt(0.1 eps)
//   [5] 1 (centre abscissa)   [6] 4 h0   [7] 2 (pi/4) h0
//   [11 ...] records of six entries: x-, x+, 4 h0 x-, 4 h0 x+, w-, w+
//   (abscissae relative to a, auxiliary weights, weights dx/du times h0),
//   grouped in runs of P entries; level 1 is one run, level 2 one run,
//   level L >= 3 has 2^(L-2) runs, each level adding the midpoints of the
//   grid before it.

#include <algorithm>
#include <cmath>

namespace nongauss {

/// Fills table[0..len-1] (len >= 17) with the abscissae and weights of the
/// half-line rule for abscissae down to about `tiny` (relative to a) and the
/// relative accuracy `eps`. Every entry it does not fill with a header value or
/// a record is defined: record slots inside runs that the rule leaves empty
/// (the last slot of level 1, and any slot a later run does not reach) hold a
/// neutral record (abscissae 1, weights 0) that adds nothing and ends a tail;
/// all other unfilled entries (8..10, and everything after the last level) are 0.
void de_init_halfline(int len, double tiny, double eps, double* table);

/// The integration of de_integrate_halfline, with the integrand asked for by
/// table slot: f_at(j) must return f(a + table[j]) (j is the slot of an
/// abscissa). A caller whose integrand has factors that depend on the
/// abscissa alone can keep them per slot across many integrations.
template <typename FAt>
void de_integrate_slots(FAt&& f_at, const double* table, double& result, double& err) {
    const int last = static_cast<int>(table[0] + 0.5);  // K
    const int run = static_cast<int>(table[1] + 0.5);   // P
    const double theta = table[4];

    // Centre, u = 0.
    const double v = f_at(5);
    double aux = v * table[6];
    double sum = v * table[7];
    double abs_sum = std::fabs(sum);

    // First pass over level 1, both sides together, until the lower abscissa
    // reaches theta.
    int k = run + 5;  // start of the last record slot of level 1
    int j = 5;
    double fm = 0;
    double fp = 0;
    do {
        j = j + 6;
        fm = f_at(j);
        fp = f_at(j + 1);
        aux = fm * table[j + 2] + fp * table[j + 3] + aux;
        fm = fm * table[j + 4];
        fp = fp * table[j + 5];
        sum = fm + fp + sum;
        abs_sum = std::fabs(fm) + std::fabs(fp) + abs_sum;
    } while (table[j] > theta && j < k);

    const double tau = abs_sum * table[3];  // tail threshold
    const double rho = abs_sum * theta;     // convergence threshold
    double change = 1 + 2 * rho;

    // Each side continues while its last weighted term is significant.
    const int j0 = j;
    while (std::fabs(fm) > tau && j < k) {
        j = j + 6;
        fm = f_at(j);
        aux = fm * table[j + 2] + aux;
        fm = fm * table[j + 4];
        sum = sum + fm;
    }
    const int j_lower = j;
    j = j0;
    while (std::fabs(fp) > tau && j < k) {
        j = j + 6;
        fp = f_at(j + 1);
        aux = fp * table[j + 3] + aux;
        fp = fp * table[j + 5];
        sum = sum + fp;
    }
    const int span = std::min(j_lower, j) - 11;

    // Halve the step while the estimates still move and a level is left.
    double h = 1;
    double m = 1;
    // Start of the last record slot of the next level (64-bit: it doubles).
    long long next = static_cast<long long>(k) + run;
    while (rho < change && next <= last) {
        const double sum_prev = sum;
        const double aux_prev = aux;
        do {
            const int j1 = k + span;
            for (j = k + 6; j <= j1; j = j + 6) {
                fm = f_at(j);
                fp = f_at(j + 1);
                aux = fm * table[j + 2] + fp * table[j + 3] + aux;
                sum = fm * table[j + 4] + fp * table[j + 5] + sum;
            }
            k = k + run;
            j = j1;
            do {
                j = j + 6;
                fm = f_at(j);
                aux = fm * table[j + 2] + aux;
                fm = fm * table[j + 4];
                sum = sum + fm;
            } while (std::fabs(fm) > tau && j < k);
            j = j1;
            do {
                j = j + 6;
                fp = f_at(j + 1);
                aux = fp * table[j + 3] + aux;
                fp = fp * table[j + 5];
                sum = sum + fp;
            } while (std::fabs(fp) > tau && j < k);
        } while (k < next);
        change = h * (std::fabs(sum - 2 * sum_prev) + std::fabs(aux - 2 * aux_prev));
        h = h * 0.5;
        m = 2 * m;
        next = 2 * next - 5;
    }

    result = sum * h;
    if (rho < change) {
        err = -change * m;
    } else {
        err = (m * table[2]) * abs_sum;
    }
}

/// Integrates f (a callable double(double)) over [a, inf) with a table made by
/// de_init_halfline. result receives the integral, err the error estimate:
/// err >= 0 on convergence, err < 0 when every level of the table was used
/// and successive estimates still differed by more than requested. f is
/// evaluated only at a + x- and a + x+ of the records used, never at a.
template <typename F>
void de_integrate_halfline(F&& f, double a, const double* table, double& result, double& err) {
    de_integrate_slots([&f, a, table](int j) { return f(a + table[j]); }, table, result, err);
}

}  // namespace nongauss
