#pragma once

// The cohort report: a page over a cohort table (nongauss-cohort's, or
// nongauss-scan's): one row per recording, lambda against scale for all of
// them (coloured by a grouping column), links to the recordings' reports.
//
// Nothing of the table reaches gnuplot: the figure is drawn from the numbers
// parsed here, its colours are the palette's; names and groups stand in the
// page only, escaped (the legend is HTML).

#include <string>
#include <vector>

#include "nongauss/report.hpp"

namespace nongauss::report {

struct CohortRecording {
    std::string file;                  ///< as the table gives it (unescaped)
    std::string group;                 ///< the grouping column's value; empty without one
    std::vector<std::string> lambda;   ///< per cohort scale, the table's text ("" when absent)
    std::string flagged_pct;           ///< the table's text, or ""
    std::string warnings;
    /// From the recording's report JSON beside it, when there is one: per
    /// cohort scale the surrogate floor and p ("" when absent), and the
    /// flagged share of the beats.
    std::vector<std::string> floor, p;
    std::string json_flagged_pct;
};

/// Fills in the floor, p and flagged share of `rec` from the text of its
/// report JSON (as nongauss-report writes it: one line per scale); only
/// numbers are taken.
void take_report_json(const std::string& json, const std::vector<double>& scales, CohortRecording& rec);

struct Cohort {
    std::vector<double> scales;        ///< every scale of the table, ascending
    std::vector<CohortRecording> recordings;  ///< in the table's order of first appearance
    std::vector<std::string> groups;   ///< in order of first appearance
    std::vector<std::string> problems; ///< rows skipped, and why
};

/// Reads a cohort table's text. False with `error` when it has no header
/// line with the columns file, scale (or scale_s) and lambda, or no
/// `group_column` when one is asked for.
bool read_cohort(const std::string& text, const std::string& group_column, Cohort& cohort, std::string& error);

/// The page of `cohort`, read from `table`, to stand at `page_file`.
std::string cohort_page(const Cohort& cohort, const ReportOptions& options, const std::string& svg,
                        const std::string& page_file);

/// The whole cohort report of options.input, as write_recording_report.
int write_cohort_report(const ReportOptions& options, std::string& message);

}  // namespace nongauss::report
