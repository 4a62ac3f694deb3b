#pragma once

// The output files and the summary of a run.

#include <cstdio>
#include <string>

#include "coarse/increments.hpp"
#include "driver/options.hpp"
#include "driver/output_file.hpp"
#include "prep/resample.hpp"

namespace nongauss {

/// How writing an output file ended.
enum class WriteOutcome {
    written,     ///< complete and closed
    not_opened,  ///< "No output file %s!\n" was printed; the run ends with status 0
    failed,      ///< a write or the close failed (full disk); reported, status 1
};

/// Says "Error while writing output file %s!" for `out` and discards it.
void report_write_error(OutputFile& out);

/// Writes the TS file into `out` (opened here, finished but not yet
/// committed: the caller puts it in place once the PDF file is complete too;
/// on failure nothing is left behind): a header, then for j = 1..ncg the time (j-1)*dt, the
/// resampled interval in ms at point j + scale_pt/2, and the centred increment
/// (ms, or divided by cg_sd when standardize is set). Prints the success line
/// once the file is open. May scale resampled[j + scale_pt/2] by 1000.
WriteOutcome write_ts_file(OutputFile& out, const Names& names, const Settings& settings, Resampled& series,
                   const Increments& inc);

/// Writes the PDF file into `out`, like write_ts_file: a header, then per bin the centre, the empirical and
/// the model density, both divided by pdf_divisor. Prints the success line
/// once the file is open.
WriteOutcome write_pdf_file(OutputFile& out, const Names& names, const Settings& settings, const double* bin_centre,
                    const double* p_exp, const double* p_model);

/// `text` as one field of a tab-separated line: tab, newline, carriage return
/// and backslash written as backslash-t, backslash-n, backslash-r and two
/// backslashes.
std::string escaped_field(const std::string& text);

/// The boxed summary on standard error and the one table line on standard
/// output (the name in it through escaped_field, so that it is one line of
/// four fields whatever the name holds). Returns false, after saying so on
/// standard error, when the table line cannot be written.
bool print_summary(const Names& names, const Settings& settings, double cg_sd, double lambda);

}  // namespace nongauss
