// nongauss-clean: flags implausible RR intervals (range and local deviation
// filters), deletes or replaces them, and writes the cleaned series.
#include <cstdio>
#include <new>
#include <string>

#include "clean/clean_hints.hpp"
#include "clean/clean_options.hpp"
#include "clean/clean_report.hpp"
#include "nongauss/annotations.hpp"
#include "nongauss/clean.hpp"
#include "nongauss/error.hpp"
#include "nongauss/output_file.hpp"

#ifndef NONGAUSS_VERSION
#define NONGAUSS_VERSION "unknown"
#endif

namespace {

using namespace nongauss;
using namespace nongauss::clean;

// Writes `text` to `name` (standard output when empty): a file is put in
// place only once complete, so a failed or interrupted write leaves what the
// name held. Returns the message to print when the file cannot be made or
// written, empty on success.
std::string write_series(const std::string& name, const std::string& text) {
    if (name.empty()) {
        const bool ok = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
        return ok && std::fflush(stdout) == 0 && !std::ferror(stdout) ? "" : "Error writing standard output!\n";
    }
    nongauss::OutputFile out;
    if (!out.open(name)) return "No output file " + name + "!\n";
    if (!out.write(text) || !out.finish() || !out.commit()) return "Error writing " + name + "!\n";
    return std::string();
}

// Writes the cleaned series and the report; the exit status.
int write_and_report(const CommandLine& settings, const Cleaned& cleaned, const AnnotationFile* file,
                     const IntervalSelection* selection) {
    const std::string failure = write_series(settings.output, cleaned.text);
    const std::string destination = settings.output.empty() ? "standard output" : settings.output;
    std::fputs(report_text(settings, cleaned, failure.empty() ? destination : "", file, selection).c_str(), stderr);
    if (!failure.empty()) {
        std::fputs(failure.c_str(), stderr);
        return 1;
    }
    if (settings.summary) {
        const std::string line = summary_line(settings, cleaned);
        if (std::fputs(line.c_str(), stdout) < 0 || std::fflush(stdout) != 0) {
            std::fprintf(stderr, "Error writing standard output!\n");
            return 1;
        }
    }
    return 0;
}

// An annotation file: its intervals chosen by label, then cleaned.
int clean_annotations(const CommandLine& settings) {
    AnnotationFile file;
    try {
        file = read_annotations(settings.input);
    } catch (const Error& e) {
        std::fprintf(stderr, "%s\n", e.message().c_str());
        return 1;
    }
    for (const std::string& w : file.warnings) std::fprintf(stderr, "Warning: %s\n", w.c_str());
    const IntervalSelection selection = select_intervals(file, settings.all_beats);
    const std::string selected = selection_text(file, selection);
    if (selection.count(IntervalFlag::kept) == 0) {
        std::fputs(selected.c_str(), stderr);
        std::fprintf(stderr, "No data was read!\n");
        return 1;
    }
    const Cleaned cleaned = clean_selection(selection, settings.cleaning());
    if (cleaned.outcome == CleanOutcome::none_kept) {
        std::fputs(report_text(settings, cleaned, "", &file, &selection).c_str(), stderr);
        std::fprintf(stderr, "%s\n", cleaned.message.c_str());
        return 1;
    }
    return write_and_report(settings, cleaned, &file, &selection);
}

}  // namespace

int main(int argc, char** argv) try {
    nongauss::install_output_cleanup();
    CommandLine settings;
    std::string message;
    switch (parse_clean_options(argc, argv, settings, message)) {
        case ParseOutcome::help: std::fputs(help_text().c_str(), stdout); return 0;
        case ParseOutcome::version:
            std::printf("nongauss-clean %s\n", NONGAUSS_VERSION);
            return 0;
        case ParseOutcome::error:
            std::fprintf(stderr, "nongauss-clean: %s\n%s", message.c_str(), usage_hint().c_str());
            return 1;
        case ParseOutcome::run: break;
    }

    if (settings.deviation_filter && settings.deviation_pct < 1.0) {
        std::fprintf(stderr,
                     "Warning: -p %g is a deviation of %g %% of the median, which flags almost every "
                     "beat; -p takes a percentage (-p 25 for 25 %%)\n",
                     settings.deviation_pct, settings.deviation_pct);
    }

    // The output must not be the input, whatever path or link leads there.
    nongauss::InputFiles input;
    input.add(settings.input);
    if (!settings.output.empty() && input.contains(settings.output)) {
        std::fprintf(stderr, "The output file %s is the input file %s: nothing was written!\n",
                     settings.output.c_str(), settings.input.c_str());
        return 1;
    }

    if (settings.wfdb) return clean_annotations(settings);
    const Cleaned cleaned = clean_file(settings.input, settings.cleaning());
    const RRText& rr = cleaned.input;
    switch (cleaned.outcome) {
        case CleanOutcome::not_found:
        case CleanOutcome::cannot_open:
        case CleanOutcome::read_error:
            std::fprintf(stderr, "%s\n", cleaned.message.c_str());
            return 1;
        case CleanOutcome::bad_input:
        case CleanOutcome::no_data:
            std::fprintf(stderr, "%s\n%s", cleaned.message.c_str(), layout_hint(settings, rr).c_str());
            return 1;
        case CleanOutcome::none_kept:
        case CleanOutcome::cleaned: break;
    }
    std::fputs(several_numbers_warning(rr).c_str(), stderr);
    // Rows taken for header lines: the decimal mark may be the cause.
    if (!settings.column.empty() && rr.header_lines > 0)
        std::fputs(layout_hint(settings, rr, "Warning: ").c_str(), stderr);
    std::fputs(unit_warning(settings, rr).c_str(), stderr);
    if (cleaned.outcome == CleanOutcome::none_kept) {
        std::fputs(report_text(settings, cleaned, "").c_str(), stderr);
        std::fprintf(stderr, "%s\n", cleaned.message.c_str());
        return 1;
    }

    return write_and_report(settings, cleaned, nullptr, nullptr);
} catch (const std::bad_alloc&) {
    std::fputs("nongauss-clean: allocation failure: not enough memory for this input\n", stderr);
    return 1;
}
