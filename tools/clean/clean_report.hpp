#pragma once

// What nongauss-clean tells: the report on standard error and the optional
// tab-separated summary line.

#include <string>

#include "clean/clean_options.hpp"
#include "nongauss/clean.hpp"

namespace nongauss::clean {

/// Share of flagged beats above which the report warns, percent.
constexpr double warning_share_pct = 10.0;

/// The report, complete lines. `destination` names where the series went;
/// empty when nothing was written (the line is left out).
std::string report_text(const CommandLine& settings, const Cleaned& cleaned,
                        const std::string& destination);

/// The summary line: input (a tab, newline, carriage return or backslash in
/// it written as \t, \n, \r, \\), read, flagged by range, flagged by
/// deviation, flagged % and time % (two decimals), intervals written;
/// tab-separated.
std::string summary_line(const CommandLine& settings, const Cleaned& cleaned);

}  // namespace nongauss::clean
