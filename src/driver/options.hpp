#pragma once

// Run settings, command-line parsing, usage text and output-name derivation.

#include <string>

#include "nongauss/settings.hpp"

namespace nongauss {

/// The input name and the names derived from it.
struct Names {
    std::string input_name;  ///< the last word of the command line, whole
    std::string base_name;   ///< input_name up to, not including, the last '.' of its final component
    std::string ts_name;     ///< base_name + "_TS.txt"
    std::string pdf_name;    ///< base_name + "_PDF.txt"
};

/// The name the program was invoked under (argv[0]); set by parse_command_line.
const std::string& program_name();

/// Applies the analysis option `option` (one of d m n q r s t) with its value
/// word to `settings`, with the tool's conversions and limits. Returns false
/// for a letter that is not a value option. Shared by every face that takes
/// the tool's analysis options.
bool apply_value_option(char option, const char* value, Settings& settings);

/// Applies the analysis flag `option` (0 1 3 v a). Returns false for a letter
/// that is not one.
bool apply_flag_option(char option, Settings& settings);

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
