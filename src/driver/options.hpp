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
    std::string base_name;   ///< input_name up to, not including, the last '.' of its final component
    std::string ts_name;     ///< base_name + "_TS.txt"
    std::string pdf_name;    ///< base_name + "_PDF.txt"
};

/// The name the program was invoked under (argv[0]); set by parse_command_line.
const std::string& program_name();

/// What the command line asks for.
enum class CommandLine {
    analyse,      ///< settings and names are filled in
    usage_error,  ///< the caller prints the usage text and ends with 1
    help,         ///< --help: the usage text on standard output, status 0
    version,      ///< --version: the version line on standard output, status 0
};

/// Parses argv into `settings` (which must hold the defaults) and `names`.
/// Only the second character of an option word decides the option; a value
/// option takes the whole next word; parsing stops at the first word not
/// beginning with '-', or after the word "--"; the input is always the last
/// word. The words "--help" and "--version" among the options ask for those.
/// A usage error is an unrecognised option, a value option without a value,
/// no word besides the program name, or "--" as the last word.
CommandLine parse_command_line(int argc, const char* const* argv, Settings& settings, Names& names);

/// Derives base, TS and PDF names from an input name. The base name ends
/// before the last '.' of the name's final path component, unless that '.'
/// is the component's first character; a component without such a '.' is
/// used whole. The directory part is kept, so the outputs go beside the input.
Names derive_names(const std::string& input_name);

/// Writes the usage text to standard error.
void print_usage();

/// Writes the usage text to standard output; false when that fails.
bool print_help();

/// Writes "nongauss VERSION\n" to standard output; false when that fails.
bool print_version();

}  // namespace nongauss
