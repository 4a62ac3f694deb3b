#pragma once

// What nongauss-clean tells: the report on standard error and the optional
// tab-separated summary line.

#include <cstddef>
#include <string>
#include <vector>

#include "clean/clean_options.hpp"
#include "clean/cleaned_series.hpp"
#include "clean/filters.hpp"

namespace nongauss::clean {

/// Share of flagged beats above which the report warns, percent.
constexpr double warning_share_pct = 10.0;

/// The counts of one cleaning run.
struct Tally {
    double unit = 1.0;             ///< 1000: the file is in milliseconds; 1: seconds
    std::size_t read = 0;          ///< intervals read
    std::size_t by_range = 0;      ///< flagged by the range filter
    std::size_t by_deviation = 0;  ///< flagged by the local deviation filter
    double total_s = 0.0;          ///< sum of all intervals read, seconds
    double flagged_s = 0.0;        ///< sum of the flagged intervals, seconds
    int stop_line = 0;             ///< line where reading stopped early; 0: none
    int header_lines = 0;          ///< header lines skipped at the start
    std::string last_header;       ///< the last of them
    int column = 0;                ///< the column read (1-based); 0: every number of the text
    char delimiter = 0;            ///< the column's delimiter: '\t', ';', ',' or ' ' (blanks)
    OutputCounts counts;           ///< what was written

    std::size_t flagged() const { return by_range + by_deviation; }
    /// Flagged beats as a percentage of the beats read.
    double flagged_pct() const;
    /// Flagged time as a percentage of the recording's time (0 when that is not positive).
    double time_pct() const;
};

/// Counts the flags and sums the times of `seconds` (intervals in seconds).
Tally tally_flags(const std::vector<double>& seconds, const std::vector<Flag>& flags, double unit);

/// The report, complete lines. `destination` names where the series went;
/// empty when nothing was written (the line is left out).
std::string report_text(const CleanSettings& settings, const Tally& tally,
                        const std::string& destination);

/// The summary line: input (a tab, newline, carriage return or backslash in
/// it written as \t, \n, \r, \\), read, flagged by range, flagged by
/// deviation, flagged % and time % (two decimals), intervals written;
/// tab-separated.
std::string summary_line(const CleanSettings& settings, const Tally& tally);

}  // namespace nongauss::clean
