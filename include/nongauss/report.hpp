#pragma once

// The report of a recording or of a cohort: one self-contained HTML page
// (styles and figures inline as SVG, drawn by gnuplot; nothing fetched) and,
// for a recording, its provenance and numbers as JSON beside it. The options
// are nongauss-report's command line, read here, so that the JSON's command
// is the command that makes the same report.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "nongauss/settings.hpp"
#include "nongauss/surrogates.hpp"
#include "nongauss/thread_pool.hpp"

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
    int bootstrap = 0;                  ///< bootstrap replicates per scale (the sampling spread); 0: none
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

/// The usage text of the program `program`.
std::string usage_text(const std::string& program);

/// The page's name for `options` (the output, or BASE_report.html beside the
/// input, BASE as nongauss derives it), and the JSON's: the page's name with
/// a final ".html" replaced by ".json" (or ".json" added).
std::string page_name(const ReportOptions& options);
std::string json_name(const std::string& page);

/// The whole report of the recording options.input: analysed on `pool`,
/// drawn and written (page and JSON put in place together, never over an
/// input). Returns the exit status (0 written, 2 written but the recording or
/// a scale could not be analysed, 1 nothing written); `message` holds what
/// goes to standard error (complete lines; "Warning: " lines for doubtful
/// input).
int write_recording_report(const ReportOptions& options, ThreadPool& pool, std::string& message);

/// The whole cohort report of the cohort table options.input, as
/// write_recording_report.
int write_cohort_report(const ReportOptions& options, std::string& message);

/// The cohort page of the table `text` (read as write_cohort_report reads
/// options.input, without the figure or the recordings' JSON), to stand at
/// `page_file`. False with `error` when the table has no header line with the
/// columns file, scale (or scale_s) and lambda, or no grouping column asked
/// for.
bool cohort_page_of_table(const std::string& text, const ReportOptions& options, const std::string& page_file,
                          std::string& page, std::string& error);

/// `text` for HTML element content and quoted attribute values: & < > " '
/// as character references, and every byte that is not valid UTF-8, and
/// every control character but tab and newline, as U+FFFD.
std::string html_escaped(std::string_view text);

}  // namespace nongauss::report
