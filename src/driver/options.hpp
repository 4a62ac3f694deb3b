#pragma once

// Run settings, command-line parsing, usage text and output-name derivation.

#include <string>

#include "nongauss/options.hpp"
#include "nongauss/settings.hpp"
#include "nongauss/tables.hpp"

namespace nongauss {

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

/// Writes the usage text to standard error.
void print_usage();

/// Writes the usage text to standard output; false when that fails.
bool print_help();

/// Writes "nongauss VERSION\n" to standard output; false when that fails.
bool print_version();

}  // namespace nongauss
