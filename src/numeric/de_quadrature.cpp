#include "numeric/de_quadrature.hpp"

#include <algorithm>
#include <cmath>

namespace nongauss {

void de_init_halfline(int len, double tiny, double eps, double* table) {
    // Everything not written below reads as 0.
    std::fill(table, table + len, 0.0);

    const double q = std::atan(1.0);  // pi/4
    const double t_max = -std::log(tiny);
    const double e_acc = 1 - std::log(0.1 * eps);
    const double h0 = 11 / e_acc;
    const double g = std::exp(h0);
    const double g_inv = 1 / g;

    table[2] = eps;
    table[3] = std::exp(-g_inv * e_acc);
    table[4] = std::sqrt(0.1 * eps);
    table[5] = 1;
    table[6] = 4 * h0;
    table[7] = 2 * q * h0;

    double h = 2;
    int run = 0;  // P, fixed after level 1
    int k = 11;   // where the next run starts
    int j = 0;
    do {
        double t = h * 0.5;
        do {
            const double e = std::exp(h0 * t);
            double p = q * e;
            double n = q / e;
            j = k;
            do {
                const double x = std::exp(p - n);
                const double y = 1 / x;
                const double kappa = (p + n) * h0;
                table[j] = y;
                table[j + 1] = x;
                table[j + 2] = (4 * h0) * y;
                table[j + 3] = (4 * h0) * x;
                table[j + 4] = kappa * y;
                table[j + 5] = kappa * x;
                p = p * g;
                n = n * g_inv;
                j = j + 6;
            } while (p < t_max && j <= len - 6);
            t = t + h;
            k = k + run;
        } while (t < 1);
        h = h * 0.5;
        if (run == 0) {
            // One slot more than level 1 filled, unless the table is nearly full.
            if (j > len - 12) j = j - 6;
            run = j - 5;
            k = k + run;
            table[1] = run;
        }
    } while (2LL * k - 11 <= len);  // the next level fits completely
    table[0] = k - 6;

    // Record slots left empty inside the runs (the last one of level 1 at
    // least) get a neutral record: abscissae 1 (already the centre, so f is
    // never evaluated at a), all weights 0. A side that reaches it adds nothing
    // and its tail ends there. Written records always have x- > 0.
    for (int r = 11; r <= k - 6 && r + 5 < len; r = r + 6) {
        if (table[r] == 0.0) {
            table[r] = 1;
            table[r + 1] = 1;
        }
    }
}

}  // namespace nongauss
