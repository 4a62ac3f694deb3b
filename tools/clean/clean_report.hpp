#pragma once

// What nongauss-clean tells: the report on standard error and the optional
// tab-separated summary line.

#include <string>

#include "clean/clean_options.hpp"
#include "nongauss/clean.hpp"

namespace nongauss::clean {

/// Share of flagged beats above which the report warns, percent.
constexpr double warning_share_pct = 10.0;

/// The report, complete lines (for an annotation file, `file` and its
/// `selection`, whose counts follow the first line). `destination` names where the series went;
/// empty when nothing was written (the line is left out).
std::string report_text(const CommandLine& settings, const Cleaned& cleaned,
                        const std::string& destination, const AnnotationFile* file = nullptr,
                        const IntervalSelection* selection = nullptr);

/// For an annotation file: its annotations by label and its beat-to-beat
/// intervals by reason (the lines after the first of the report).
std::string selection_text(const AnnotationFile& file, const IntervalSelection& selection);

/// The summary line: input (a tab, newline, carriage return or backslash in
/// it written as \t, \n, \r, \\), read, flagged by range, flagged by
/// deviation, flagged % and time % (two decimals), intervals written;
/// tab-separated.
std::string summary_line(const CommandLine& settings, const Cleaned& cleaned);

}  // namespace nongauss::clean
