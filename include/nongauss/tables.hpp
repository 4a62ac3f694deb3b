#pragma once

// The two tables the tool writes: the TS table (resampled series and
// increments) and the PDF table (densities). Every number goes through the
// fixed-point formatter; rows are formatted on the pool's threads and written in
// order.
// The writers only write: opening, closing and reporting belong to the caller,
// which finds a write error through std::ferror(file).

#include <cstdio>
#include <span>
#include <string>

namespace nongauss {

class ThreadPool;

/// The input name and the names derived from it.
struct Names {
    std::string input_name;  ///< the last word of the command line, whole
    std::string base_name;   ///< input_name up to, not including, the last '.' of its final component
    std::string ts_name;     ///< base_name + "_TS.txt"
    std::string pdf_name;    ///< base_name + "_PDF.txt"
};

/// Derives base, TS and PDF names from an input name. The base name ends
/// before the last '.' of the name's final path component, unless that '.'
/// is the component's first character; a component without such a '.' is
/// used whole. The directory part is kept, so the outputs go beside the input.
Names derive_names(const std::string& input_name);

/// The TS table: the header "time(sec)\tRRI(ms)\tCG_series(ms)\n" (or
/// "...\tCG_series\n" when `standardized`), then for j = 0..centred.size()-1
/// the row "%lf\t%lf\t%lf\n" of j * dt, 1000 * resampled[j + scale_pt / 2] +
/// 1000 * resampled_mean, and 1000 * centred[j] (or centred[j] / sd).
/// `resampled` holds at least centred.size() + scale_pt / 2 values (as
/// PreparedSeries::resampled() and ScaleIncrements::centred() do).
void write_ts_table(std::FILE* file, std::span<const double> resampled, double resampled_mean, long scale_pt,
                    std::span<const double> centred, double sd, double dt, bool standardized, ThreadPool& pool);

/// The PDF table: the header "x/SD\tP_exp\tP_model\n", then for i = 0..nbins-1
/// the row "%lf\t%8.7lf\t%12.11lf\n" of bin_centre[i], p_exp[i] / divisor and
/// p_model[i] / divisor (zero-based arrays).
void write_pdf_table(std::FILE* file, const double* bin_centre, const double* p_exp,
                     const double* p_model, int nbins, double divisor, ThreadPool& pool);

/// False when a finite density divided by `divisor` is not (-r 1e-320 makes
/// the quotients overflow): the callers then end with "The densities divided
/// by %g are out of range!" instead of writing "inf". (The densities of a
/// series without variability are no numbers whatever the divisor.)
bool pdf_table_in_range(const double* p_exp, const double* p_model, int nbins, double divisor);

}  // namespace nongauss
