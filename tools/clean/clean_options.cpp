#include "clean/clean_options.hpp"

#include <cmath>
#include <optional>
#include <string_view>

#include "nongauss/number_text.hpp"

namespace nongauss::clean {

namespace {

// A whole word in the decimal syntax, or nothing.
std::optional<double> whole_number(std::string_view word) {
    const std::size_t len = decimal_prefix_length(word);
    if (len == 0 || len != word.size()) return std::nullopt;
    const double value = decimal_value(word);
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

struct OptionWord {
    std::string_view name;    // "--window" or "-w"
    std::optional<std::string_view> attached;  // text after '=' of a long option
};

OptionWord split_option(std::string_view word) {
    if (word.substr(0, 2) == "--") {
        const std::size_t eq = word.find('=');
        if (eq != std::string_view::npos) return {word.substr(0, eq), word.substr(eq + 1)};
    }
    return {word, std::nullopt};
}

bool is(std::string_view name, const char* short_name, const char* long_name) {
    return (short_name != nullptr && name == short_name) || name == long_name;
}

}  // namespace

CleanSettings CommandLine::cleaning() const {
    CleanSettings s;
    s.read.column = column;
    s.read.decimal_comma = decimal_comma;
    s.unit = unit;
    s.filter.range = range_filter;
    s.filter.min_s = min_s;
    s.filter.max_s = max_s;
    s.filter.deviation = deviation_filter;
    s.filter.window = window;
    s.filter.fraction = deviation_pct / 100.0;
    if (median) s.filter.local = LocalFilter::median;
    else if (detector) s.filter.local = LocalFilter::detector;
    s.replace = replace;
    return s;
}

std::string usage_hint() {
    return "usage: nongauss-clean [OPTIONS] INPUT (nongauss-clean --help for the options)\n";
}

std::string help_text() {
    return "usage: nongauss-clean [OPTIONS] INPUT\n"
           "\n"
           "Flags implausible RR intervals (artefacts, gaps, ectopic beats) and writes the\n"
           "cleaned series, one interval per line, in the unit of the input. Kept intervals\n"
           "are written exactly as they stood in the input. Header lines at the start are\n"
           "skipped and counted. A report goes to standard error.\n"
           "\n"
           "Intervals outside a plausible range are flagged first; among the others the\n"
           "artefact detector compares successive differences with a time-varying threshold\n"
           "and finds ectopic, missed, extra, long and short beats and runs of abnormal\n"
           "beats (--median: a median filter instead).\n"
           "\n"
           "options:\n"
           "  -o, --output FILE     write the series to FILE (default: standard output)\n"
           "  -u, --unit UNIT       ms or s (default: ms when the first interval exceeds 100)\n"
           "  -c, --column N|NAME   read column N (from 1), or the column of that name in a\n"
           "                        header line, of a table whose fields are separated by\n"
           "                        tabs, semicolons, commas or blanks (detected)\n"
           "      --decimal-comma   the comma is the decimal mark (0,820)\n"
           "      --min SEC         shortest plausible interval, seconds (default 0.3)\n"
           "      --max SEC         longest plausible interval, seconds (default 2.0)\n"
           "      --no-range        no range filter\n"
           "  -p, --deviation PCT   the floor of the detector's thresholds: no change\n"
           "                        smaller than PCT % of the local median is an artefact;\n"
           "                        with --median, the largest deviation from the\n"
           "                        neighbours' median, percent of it (default 20)\n"
           "      --detector        the artefact detector (the default)\n"
           "      --median          the median filter instead of the detector: an interval\n"
           "                        more than -p % from the median of its neighbours\n"
           "  -w, --window N        with --median: beats in the centred median window, odd,\n"
           "                        at least 3 (default 41: the beat and 20 neighbours on\n"
           "                        each side)\n"
           "      --no-deviation    no local filter (neither the detector nor the median)\n"
           "  -r, --replace         replace flagged intervals by linear interpolation between\n"
           "                        the nearest kept neighbours, keeping the time axis\n"
           "                        (default: delete them)\n"
           "      --wfdb            the input is a beat annotation file with its header\n"
           "                        RECORD.hea beside it; the normal-to-normal intervals\n"
           "                        (both beats normal, no rhythm, noise or artefact mark\n"
           "                        between them) are cleaned and written in seconds with\n"
           "                        the digits that read back exactly\n"
           "      --all-beats       with --wfdb: every beat-to-beat interval\n"
           "  -s, --summary         print one tab-separated line on standard output: input,\n"
           "                        read, flagged by range, flagged by deviation, flagged %,\n"
           "                        time %, written (needs --output)\n"
           "  -h, --help            print this help and exit\n"
           "  -V, --version         print the version and exit\n"
           "\n"
           "Exit status: 0 cleaned; 1 usage error, input missing, empty or without a number\n"
           "at its start, no interval kept, or the output could not be written.\n";
}

ParseOutcome parse_clean_options(int argc, const char* const* argv, CommandLine& settings,
                                 std::string& message) {
    bool have_input = false;
    bool options_done = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view word(argv[i]);
        if (options_done || word.empty() || word[0] != '-' || word == "-") {
            if (have_input) {
                message = "more than one input file: " + settings.input + " and " + std::string(word);
                return ParseOutcome::error;
            }
            settings.input = std::string(word);
            have_input = true;
            continue;
        }
        if (word == "--") {
            options_done = true;
            continue;
        }
        const OptionWord opt = split_option(word);
        const std::string name(opt.name);

        // Options without a value.
        if (is(opt.name, "-h", "--help") || is(opt.name, "-V", "--version") ||
            is(opt.name, "-r", "--replace") || is(opt.name, "-s", "--summary") ||
            is(opt.name, nullptr, "--decimal-comma") || is(opt.name, nullptr, "--wfdb") ||
            is(opt.name, nullptr, "--all-beats") || is(opt.name, nullptr, "--detector") ||
            is(opt.name, nullptr, "--median") ||
            is(opt.name, nullptr, "--no-range") || is(opt.name, nullptr, "--no-deviation")) {
            if (opt.attached) {
                message = "option " + name + " takes no value";
                return ParseOutcome::error;
            }
            if (is(opt.name, "-h", "--help")) return ParseOutcome::help;
            if (is(opt.name, "-V", "--version")) return ParseOutcome::version;
            if (is(opt.name, "-r", "--replace")) settings.replace = true;
            else if (is(opt.name, "-s", "--summary")) settings.summary = true;
            else if (opt.name == "--no-range") settings.range_filter = false;
            else if (opt.name == "--decimal-comma") settings.decimal_comma = true;
            else if (opt.name == "--wfdb") settings.wfdb = true;
            else if (opt.name == "--all-beats") settings.all_beats = true;
            else if (opt.name == "--detector") settings.detector = true;
            else if (opt.name == "--median") settings.median = true;
            else settings.deviation_filter = false;
            continue;
        }

        // Options with a value.
        const bool known = is(opt.name, "-o", "--output") || is(opt.name, "-u", "--unit") ||
                           is(opt.name, "-c", "--column") ||
                           is(opt.name, nullptr, "--min") || is(opt.name, nullptr, "--max") ||
                           is(opt.name, "-w", "--window") || is(opt.name, "-p", "--deviation");
        if (!known) {
            message = "unknown option " + name;
            return ParseOutcome::error;
        }
        std::string_view value;
        if (opt.attached) {
            value = *opt.attached;
        } else if (i + 1 < argc) {
            value = argv[++i];
        } else {
            message = "option " + name + " needs a value";
            return ParseOutcome::error;
        }
        const std::string bad = "invalid value for " + name + ": '" + std::string(value) + "'";

        if (is(opt.name, "-o", "--output")) {
            if (value.empty()) {
                message = bad;
                return ParseOutcome::error;
            }
            settings.output = std::string(value);
        } else if (is(opt.name, "-u", "--unit")) {
            if (value == "ms") settings.unit = Unit::milliseconds;
            else if (value == "s") settings.unit = Unit::seconds;
            else {
                message = bad + " (ms or s)";
                return ParseOutcome::error;
            }
        } else if (is(opt.name, "-c", "--column")) {
            const bool digits = value.find_first_not_of("0123456789") == std::string_view::npos;
            if (value.empty() || (digits && (value.size() > 5 || std::stoi(std::string(value)) == 0))) {
                message = bad + " (a column number from 1, or a column name)";
                return ParseOutcome::error;
            }
            settings.column = std::string(value);
        } else if (is(opt.name, "-w", "--window")) {
            const std::optional<double> w = whole_number(value);
            if (!w || *w < 3 || *w > 100001 || std::floor(*w) != *w ||
                static_cast<int>(*w) % 2 == 0) {
                message = bad + " (an odd number of beats, at least 3)";
                return ParseOutcome::error;
            }
            settings.window = static_cast<int>(*w);
            settings.window_given = true;
        } else {
            const std::optional<double> v = whole_number(value);
            if (!v || *v < 0 || (opt.name != "--min" && *v == 0)) {
                message = bad + (opt.name == "--min" ? " (a number, 0 or more)" : " (a positive number)");
                return ParseOutcome::error;
            }
            if (opt.name == "--min") settings.min_s = *v;
            else if (opt.name == "--max") settings.max_s = *v;
            else settings.deviation_pct = *v;
        }
    }

    if (!have_input) {
        message = "no input file";
        return ParseOutcome::error;
    }
    if (settings.range_filter && !(settings.min_s < settings.max_s)) {
        message = "the range is empty: --min must be below --max";
        return ParseOutcome::error;
    }
    if (settings.median && settings.detector) {
        message = "--median and --detector: one local filter (the detector is the default)";
        return ParseOutcome::error;
    }
    if ((settings.detector || settings.median) && !settings.deviation_filter) {
        message = std::string(settings.median ? "--median" : "--detector") +
                  " and --no-deviation: --no-deviation turns the local filter off";
        return ParseOutcome::error;
    }
    if (settings.window_given && settings.cleaning().filter.local != LocalFilter::median) {
        message = "--window is the median filter's window: add --median";
        return ParseOutcome::error;
    }
    if (settings.all_beats && !settings.wfdb) {
        message = "--all-beats needs --wfdb";
        return ParseOutcome::error;
    }
    if (settings.wfdb && (settings.unit || !settings.column.empty() || settings.decimal_comma)) {
        message = "--unit, --column and --decimal-comma do not apply to an annotation file (--wfdb)";
        return ParseOutcome::error;
    }
    if (settings.summary && settings.output.empty()) {
        message = "--summary needs --output (standard output carries the series otherwise)";
        return ParseOutcome::error;
    }
    return ParseOutcome::run;
}

}  // namespace nongauss::clean
