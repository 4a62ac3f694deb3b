#include "prep/interval_check.hpp"

#include "nongauss/error.hpp"
#include "nongauss/formatted.hpp"

namespace nongauss {

void reject_intervals(const double* rri, int unusable_row, int stalled_row, double elapsed) {
    if (unusable_row != 0)
        throw Error(ErrorKind::input,
                    formatted("Invalid RR interval at row %d: %g (intervals must be positive and finite)",
                              unusable_row, rri[unusable_row]));
    if (stalled_row != 0)
        throw Error(ErrorKind::input,
                    formatted("Invalid RR interval at row %d: %g (does not advance the elapsed time of %g sec)",
                              stalled_row, rri[stalled_row], elapsed));
}

}  // namespace nongauss
