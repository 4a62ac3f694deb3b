#pragma once

// The output files and the summary of a run of the tool.

#include <string>

#include "driver/options.hpp"
#include "nongauss/result.hpp"
#include "nongauss/stages.hpp"

namespace nongauss {

/// How writing an output file ended.
enum class WriteOutcome {
    written,     ///< complete and closed
    not_opened,  ///< "No output file %s!\n" was printed; the run ends with status 0
    failed,      ///< a write or the close failed (full disk); reported, status 1
};

/// Writes the TS file (text/tables.hpp) named names.ts_name. Prints the
/// success line to standard error once the file is open.
WriteOutcome write_ts_file(const Names& names, const Settings& settings, const PreparedSeries& prepared,
                           const ScaleIncrements& inc);

/// Writes the PDF file named names.pdf_name from the result's densities.
/// Prints the success line once the file is open.
WriteOutcome write_pdf_file(const Names& names, const Settings& settings, const Result& result);

/// The boxed summary on standard error and the one table line on standard
/// output. Returns false, after saying so on standard error, when the table
/// line cannot be written.
bool print_summary(const Names& names, const Settings& settings, double cg_sd, double lambda);

}  // namespace nongauss
