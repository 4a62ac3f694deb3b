#pragma once

// The gnuplot scripts of the report's figures (see gnuplot.hpp for what may
// stand in them: this program's text and the numbers it formats).

#include <string>
#include <vector>

#include "report/recording.hpp"

namespace nongauss::report {

/// Columns of the tachogram: the recording's time cut into this many equal
/// spans, each drawn as the lowest and highest interval in it.
constexpr int tachogram_columns = 1200;

/// The tachogram over the whole recording (hours; intervals in ms), the
/// flagged stretches as red bands.
std::string tachogram_script(const Recording& r);

/// Lambda against scale, with the surrogate floor and the central 95 % of the
/// surrogates' lambdas when there are surrogates.
std::string lambda_script(const Recording& r);

/// The densities at the density scales on a logarithmic axis, empirical
/// against the model (and the standard normal).
std::string density_script(const Recording& r);

/// One line per recording of lambda against scale: `lines` holds, per line,
/// its (scale, lambda) points and a colour index; `colours` the palette.
struct CohortLine {
    std::vector<std::pair<double, double>> points;
    int colour = 0;
};
std::string cohort_script(const std::vector<CohortLine>& lines, const std::vector<std::string>& colours);

/// The palette of the groups (#rrggbb), in order; the colour of group k is
/// colours[k % size].
const std::vector<std::string>& group_colours();

}  // namespace nongauss::report
