// nongauss-clean: flags implausible RR intervals (range and local deviation
// filters), deletes or replaces them, and writes the cleaned series.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "clean/clean_hints.hpp"
#include "clean/clean_options.hpp"
#include "clean/clean_report.hpp"
#include "clean/cleaned_series.hpp"
#include "clean/filters.hpp"
#include "clean/rr_text.hpp"
#include "nongauss/output_file.hpp"

#ifndef NONGAUSS_VERSION
#define NONGAUSS_VERSION "unknown"
#endif

namespace {

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

}  // namespace

int main(int argc, char** argv) try {
    nongauss::install_output_cleanup();
    CleanSettings settings;
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

    RRText rr;
    ReadSettings reading;
    reading.column = settings.column;
    reading.decimal_comma = settings.decimal_comma;
    std::string why;
    switch (read_rr_file(settings.input, reading, rr, why)) {
        case ReadOutcome::cannot_open:
            if (why == std::strerror(ENOENT)) std::fprintf(stderr, "File %s not found!\n", settings.input.c_str());
            else std::fprintf(stderr, "Cannot open input file %s: %s\n", settings.input.c_str(), why.c_str());
            return 1;
        case ReadOutcome::read_error:
            std::fprintf(stderr, "Error while reading input file %s!\n", settings.input.c_str());
            return 1;
        case ReadOutcome::bad_input:
            std::fprintf(stderr, "%s: %s\n%s", settings.input.c_str(), why.c_str(),
                         layout_hint(settings, rr).c_str());
            return 1;
        case ReadOutcome::ok: break;
    }
    if (rr.numbers.empty()) {
        std::fprintf(stderr, "No data was read!\n%s", layout_hint(settings, rr).c_str());
        return 1;
    }
    std::fputs(several_numbers_warning(rr).c_str(), stderr);
    // Rows taken for header lines: the decimal mark may be the cause.
    if (!settings.column.empty() && rr.header_lines > 0)
        std::fputs(layout_hint(settings, rr, "Warning: ").c_str(), stderr);
    std::fputs(unit_warning(settings, rr).c_str(), stderr);

    const double unit = nongauss::unit_divisor(settings.unit.value_or(nongauss::unit_rule(rr.numbers[0].value)));
    std::vector<double> seconds(rr.numbers.size());
    for (std::size_t i = 0; i < seconds.size(); ++i) seconds[i] = rr.numbers[i].value / unit;

    FilterSettings filter;
    filter.range = settings.range_filter;
    filter.min_s = settings.min_s;
    filter.max_s = settings.max_s;
    filter.deviation = settings.deviation_filter;
    filter.window = settings.window;
    filter.fraction = settings.deviation_pct / 100.0;
    const std::vector<Flag> flags = flag_intervals(seconds, filter);

    Tally tally = tally_flags(seconds, flags, unit);
    tally.stop_line = rr.stop_line;
    tally.header_lines = rr.header_lines;
    tally.last_header = rr.last_header;
    tally.column = rr.column;
    tally.delimiter = rr.delimiter;
    if (tally.flagged() == tally.read) {
        std::fputs(report_text(settings, tally, "").c_str(), stderr);
        std::fprintf(stderr, "No interval was kept!\n");
        return 1;
    }

    const std::string text =
        cleaned_text(rr, flags, settings.replace, resolution_decimals(rr), tally.counts);
    const std::string failure = write_series(settings.output, text);
    const std::string destination = settings.output.empty() ? "standard output" : settings.output;
    std::fputs(report_text(settings, tally, failure.empty() ? destination : "").c_str(), stderr);
    if (!failure.empty()) {
        std::fputs(failure.c_str(), stderr);
        return 1;
    }
    if (settings.summary) {
        const std::string line = summary_line(settings, tally);
        if (std::fputs(line.c_str(), stdout) < 0 || std::fflush(stdout) != 0) {
            std::fprintf(stderr, "Error writing standard output!\n");
            return 1;
        }
    }
    return 0;
} catch (const std::bad_alloc&) {
    std::fputs("nongauss-clean: allocation failure: not enough memory for this input\n", stderr);
    return 1;
}
