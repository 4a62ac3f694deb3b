#pragma once

// The output files and the summary of a run of the tool.

#include <string>

#include "driver/options.hpp"
#include "nongauss/output_file.hpp"
#include "nongauss/result.hpp"
#include "nongauss/stages.hpp"

namespace nongauss {

/// How writing an output file ended.
enum class WriteOutcome {
    written,     ///< complete and closed
    not_opened,  ///< "No output file %s!\n" was printed; the run ends with status 1
    failed,      ///< a write or the close failed (full disk); reported, status 1
};

/// Says "Error while writing output file %s!" for `out` and discards it.
void report_write_error(OutputFile& out);

/// Writes the TS file (nongauss/tables.hpp) named names.ts_name into `out`
/// (opened here, finished but not yet committed: the caller puts the pair in
/// place with commit_together once the PDF file is complete too; on failure
/// nothing is left behind).
/// Prints the success line to standard error once the file is open.
WriteOutcome write_ts_file(OutputFile& out, const Names& names, const Settings& settings,
                           const PreparedSeries& prepared, const ScaleIncrements& inc, ThreadPool& pool);

/// Writes the PDF file named names.pdf_name from the result's densities into
/// `out`, like write_ts_file. Prints the success line once the file is open.
WriteOutcome write_pdf_file(OutputFile& out, const Names& names, const Settings& settings,
                            const Result& result, ThreadPool& pool);

/// The boxed summary on standard error and the one table line on standard
/// output (the name in it through escaped_field, so that it is one line of
/// four fields whatever the name holds). Returns false, after saying so on
/// standard error, when the table line cannot be written.
bool print_summary(const Names& names, const Settings& settings, double sd_s, double lambda);

}  // namespace nongauss
