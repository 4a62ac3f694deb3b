#include "prep/finite_check.hpp"

#include <cmath>

namespace nongauss {

int first_point_out_of_range(const double* resampled, int nres, double mean) {
    const double mean_ms = 1000 * mean;
    for (int j = 1; j <= nres; ++j)
        if (!std::isfinite(1000 * resampled[j] + mean_ms)) return j;
    return 0;
}

}  // namespace nongauss
