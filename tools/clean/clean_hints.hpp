#pragma once

// What nongauss-clean says about an input it cannot read as asked, or reads
// doubtfully: lines that name the option that reads it (a column, the decimal
// comma, the unit). Each function returns complete lines ("Hint: ...\n" or
// "Warning: ...\n"), or an empty string when it has nothing to say.

#include <string>

#include "clean/clean_options.hpp"
#include "nongauss/clean.hpp"

namespace nongauss::clean {

/// After "No data was read!" or an error about a table's layout: the column
/// that holds the intervals (of a time-and-interval table), a column number
/// beyond the fields of the lines, a decimal comma the settings do not expect
/// or a decimal point where they expect a comma. The line begins with
/// `prefix` ("Hint: "; "Warning: " after a column was read, when the decimal
/// mark made its rows count as header lines).
std::string layout_hint(const CommandLine& settings, const RRText& rr, const char* prefix = "Hint: ");

/// Without a column, when the first data line holds several numbers: the
/// warning that they are read as consecutive intervals, naming the column of
/// the intervals when one column is the time of each beat.
std::string several_numbers_warning(const RRText& rr);

/// With the unit detected: the first value decides it, and the median of the
/// others would decide the other one (a start time or a spurious first beat);
/// names the --unit that reads the rest.
std::string unit_warning(const CommandLine& settings, const RRText& rr);

}  // namespace nongauss::clean
