#pragma once

// The command line of nongauss-report.

#include <cstdint>
#include <string>
#include <vector>

#include "nongauss/settings.hpp"
#include "nongauss/surrogates.hpp"

namespace nongauss::report {

struct ReportOptions {
    Settings settings;                  ///< the analysis options, as nongauss takes them
    std::vector<double> scales;         ///< in the order given; empty: default_scales
    std::vector<double> density_scales; ///< up to three; empty: the first, middle and last scale
    std::string input;                  ///< the recording (or, with cohort, the cohort table)
    std::string output;                 ///< the page; empty: BASE_report.html beside the input
    bool detect = true;                 ///< run the artefact detector (without clean)
    bool clean = false;                 ///< clean with the cleaner's filters and analyse the cleaned series
    bool replace = false;               ///< clean: replace flagged intervals instead of deleting them
    int surrogates = 0;                 ///< surrogates per scale; 0: none
    SurrogateKind surrogate_kind = SurrogateKind::iaaft;
    std::uint64_t seed = 1;
    bool cohort = false;                ///< input is a cohort table
    std::string group_column;           ///< cohort: the column whose values colour the lines
    int jobs = 0;                       ///< threads; 0: the processor's count
    std::vector<std::string> arguments; ///< the command line as given (argv[1..])
    bool help = false;
    bool version = false;
};

/// The scales when none are given: 5, 10, 25, 50, 100, 250 and 500 s.
std::vector<double> default_scales();

/// Parses argv[1..]. On a usage error returns false with the reason in
/// `error` (one line, no newline).
bool parse_report_options(const std::vector<std::string>& args, ReportOptions& options, std::string& error);

/// The usage text.
std::string usage_text(const std::string& program);

/// The page's name for `options` (the output, or BASE_report.html beside the
/// input, BASE as nongauss derives it), and the JSON's: the page's name with
/// a final ".html" replaced by ".json" (or ".json" added).
std::string page_name(const ReportOptions& options);
std::string json_name(const std::string& page);

}  // namespace nongauss::report
