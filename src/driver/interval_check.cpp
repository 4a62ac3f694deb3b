#include "driver/interval_check.hpp"

#include <cmath>
#include <cstdio>

namespace nongauss {

int first_unusable_interval(const double* rri, int ndata) {
    for (int i = 1; i <= ndata; ++i)
        if (!(rri[i] > 0.0) || !std::isfinite(rri[i])) return i;
    return 0;
}

bool check_intervals(const double* rri, int ndata) {
    const int row = first_unusable_interval(rri, ndata);
    if (row == 0) return true;
    std::fprintf(stderr, "Invalid RR interval at row %d: %g (intervals must be positive and finite)\n",
                 row, rri[row]);
    return false;
}

}  // namespace nongauss
