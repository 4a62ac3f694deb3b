#pragma once

// Run settings, command-line parsing, usage text and output-name derivation.

#include <string>

namespace nongauss {

/// Settings of one run, with their defaults.
struct Settings {
    int interp_method = 3;       ///< 0 step, 1 linear, anything else cubic spline
    int ncoef = 4;               ///< coefficients of the detrending polynomial; <= 1: none
    double scale = 25.0;         ///< coarse-graining scale, seconds
    int fit_method = 1;          ///< <= 1 normal equations, 2 singular value decomposition
    int nbins = 100;             ///< histogram bins
    double moment_order = 0.25;  ///< order q of the absolute moment; 0: logarithmic moment
    double pdf_divisor = 1.0;    ///< divides both density columns of the PDF file
    double dt = 0.25;            ///< resampling interval, seconds
    int standardize = 0;         ///< non-zero: the TS file shows standardised increments
};

/// The input name and the names derived from it.
struct Names {
    std::string input_name;  ///< the last word of the command line, whole
    std::string base_name;   ///< input_name up to, not including, its first '.'
    std::string ts_name;     ///< base_name + "_TS.txt"
    std::string pdf_name;    ///< base_name + "_PDF.txt"
};

/// The name the program was invoked under (argv[0]); set by parse_command_line.
const std::string& program_name();

/// Parses argv into `settings` (which must hold the defaults) and `names`.
/// Only the second character of an option word decides the option; a value
/// option takes the whole next word; parsing stops at the first word not
/// beginning with '-'; the input is always the last word. Returns false on a
/// usage error (unrecognised option, value option without a value, no word
/// besides the program name): the caller prints the usage text and ends with 1.
bool parse_command_line(int argc, const char* const* argv, Settings& settings, Names& names);

/// Derives base, TS and PDF names from an input name.
Names derive_names(const std::string& input_name);

/// Writes the usage text to standard error.
void print_usage();

}  // namespace nongauss
