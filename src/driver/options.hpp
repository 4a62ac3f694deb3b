#pragma once

// Run settings, command-line parsing, usage text and output-name derivation.

#include <string>

#include "nongauss/settings.hpp"

namespace nongauss {

/// The input name and the names derived from it.
struct Names {
    std::string input_name;  ///< the last word of the command line, whole
    std::string base_name;   ///< input_name up to, not including, its first '.'
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
