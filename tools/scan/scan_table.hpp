#pragma once

// The table nongauss-scan writes: one row per file and scale.

#include <string>
#include <vector>

#include "nongauss/result.hpp"
#include "nongauss/thread_pool.hpp"
#include "scan/scan_options.hpp"

namespace nongauss::scan {

/// The header line (with its newline): the columns of the analysis, then
/// those the options ask for (surrogates: lambda_floor, p_surrogate;
/// bootstrap: lambda_se, lambda_lower, lambda_upper; clean: windows_used,
/// windows_left_out), then warnings.
std::string table_header(const ScanOptions& options = {});

/// What a row holds beyond the analysis (NaN: not known, an empty field).
struct RowExtras {
    double lambda_floor = __builtin_nan("");
    double p_surrogate = __builtin_nan("");
    double lambda_se = __builtin_nan("");
    double lambda_lower = __builtin_nan("");
    double lambda_upper = __builtin_nan("");
};

/// A number in its shortest form that reads back as the same double.
std::string shortest(double value);

/// A row for a result (with its newline). Without a result (result.error
/// set) the numbers of the analysis stay empty and the warnings column ends
/// with "error: MESSAGE" (the message without its trailing newlines).
/// `series_known`: n_beats, duration_s and unit are filled in.
std::string table_row(const std::string& file, const Result& result, bool series_known,
                      const ScanOptions& options = {}, const RowExtras& extras = {});

/// The name of a PDF file: the file's name without its directories, up to its
/// first '.', then "_", the scale in shortest form, "s_PDF.txt".
std::string pdf_name(const std::string& file, double scale_s);

/// Analyses one file at every scale and returns its rows, in scale order.
/// Never throws for the file's problems: they go into the rows. `failed` is
/// set when a row holds an error. With a PDF directory each scale's density
/// is written there (through a temporary file renamed when complete). The
/// analysis uses the threads of `pool` that other work leaves free.
std::string scan_file(const std::string& file, const ScanOptions& options, ThreadPool& pool, bool& failed);

}  // namespace nongauss::scan
