#pragma once

// The output files and the summary of a run.

#include <cstdio>
#include <string>

#include "coarse/increments.hpp"
#include "driver/options.hpp"
#include "prep/resample.hpp"

namespace nongauss {

/// How writing an output file ended.
enum class WriteOutcome {
    written,     ///< complete and closed
    not_opened,  ///< "No output file %s!\n" was printed; the run ends with status 0
    failed,      ///< a write or the close failed (full disk); reported, status 1
};

/// Writes the TS file: a header, then for j = 1..ncg the time (j-1)*dt, the
/// resampled interval in ms at point j + scale_pt/2, and the centred increment
/// (ms, or divided by cg_sd when standardize is set). Prints the success line
/// once the file is open. May scale resampled[j + scale_pt/2] by 1000.
WriteOutcome write_ts_file(const Names& names, const Settings& settings, Resampled& series,
                   const Increments& inc);

/// Writes the PDF file: a header, then per bin the centre, the empirical and
/// the model density, both divided by pdf_divisor. Prints the success line
/// once the file is open.
WriteOutcome write_pdf_file(const Names& names, const Settings& settings, const double* bin_centre,
                    const double* p_exp, const double* p_model);

/// The boxed summary on standard error and the one table line on standard
/// output. Returns false, after saying so on standard error, when the table
/// line cannot be written.
bool print_summary(const Names& names, const Settings& settings, double cg_sd, double lambda);

}  // namespace nongauss
