#pragma once

// The report of one recording: its page (HTML, self-contained: styles and
// figures inline, nothing fetched) and its provenance and numbers as JSON.

#include <string>

#include "nongauss/thread_pool.hpp"
#include "report/recording.hpp"
#include "nongauss/report.hpp"

namespace nongauss::report {

/// The figures of a recording's page, SVG (or an error each).
struct RecordingFigures {
    std::string tachogram, lambda, densities;
    std::string errors;  ///< why a figure is missing, one line each
};

/// Draws the three figures with gnuplot, side by side on `pool`.
RecordingFigures draw_figures(const Recording& r, ThreadPool& pool);

std::string recording_page(const Recording& r, const ReportOptions& options, const RecordingFigures& figures,
                           const std::string& json_file);
std::string recording_json(const Recording& r, const ReportOptions& options);

/// The whole report of options.input: analysed, drawn and written (page and
/// JSON put in place together, never over an input). Returns the exit
/// status (0 written, 2 written but the recording or a scale could not be
/// analysed, 1 nothing written); `message` holds what goes to standard error
/// (complete lines; "Warning: " lines for doubtful input).
int write_recording_report(const ReportOptions& options, ThreadPool& pool, std::string& message);

/// Writes `page` and `json` (when not empty) to `page_file` and
/// json_name(page_file) together, refusing any name that is one of `inputs`.
/// False with `message` set when nothing was written.
bool write_files(const std::string& page_file, const std::string& page, const std::string& json,
                 const std::vector<std::string>& inputs, std::string& message);

/// The page's common head (title escaped) and style, up to <body>.
std::string page_head(const std::string& title);

}  // namespace nongauss::report
