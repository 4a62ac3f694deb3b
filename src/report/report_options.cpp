#include "nongauss/report.hpp"

#include <charconv>
#include <cstring>

#include "nongauss/number_text.hpp"
#include "nongauss/options.hpp"
#include "nongauss/tables.hpp"
#include "nongauss/scan.hpp"

namespace nongauss::report {

std::vector<double> default_scales() { return {5, 10, 25, 50, 100, 250, 500}; }

namespace {

bool whole_number(const std::string& text, double& value) {
    return !text.empty() && decimal_prefix(text, value) == text.size();
}

}  // namespace

bool parse_report_options(const std::vector<std::string>& args, ReportOptions& options, std::string& error) {
    options.arguments = args;
    std::size_t i = 0;
    const auto value_of = [&](const std::string& word, std::string& value) {
        if (i + 1 >= args.size()) {
            error = "option " + word + " needs a value";
            return false;
        }
        value = args[++i];
        return true;
    };
    // The options a scan takes (scales, analysis letters, surrogates,
    // bootstrap, seed), read as nongauss-scan reads them; none of the
    // letters that shape only nongauss's own files.
    ScanSettings scan;
    scan.settings = options.settings;
    scan.scales = options.scales;
    scan.surrogates = options.surrogates;
    scan.bootstrap = options.bootstrap;
    scan.surrogate_kind = options.surrogate_kind;
    scan.seed = options.seed;
    bool only_files = false;
    std::vector<std::string> files;
    for (; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (only_files || word.empty() || word[0] != '-' || word == "-") {
            files.push_back(word);
            continue;
        }
        std::string value;
        double number = 0.0;
        const OptionTaken taken =
            take_scan_option(word, [&](std::string& v) { return value_of(word, v); }, LetterScope{}, scan, error);
        if (taken == OptionTaken::error) return false;
        if (taken == OptionTaken::yes) continue;
        if (word == "--") {
            only_files = true;
        } else if (word == "--help" || word == "-h") {
            options.help = true;
        } else if (word == "--version") {
            options.version = true;
        } else if (word == "-o" || word == "--output") {
            if (!value_of(word, value)) return false;
            if (value.empty()) {
                error = "the output name is empty";
                return false;
            }
            options.output = value;
        } else if (word == "--densities") {
            if (!value_of(word, value)) return false;
            std::vector<double> scales;
            if (!parse_scale_list(value, scales) || scales.size() > 3) {
                error = "--densities needs one to three scales (seconds), comma-separated, not '" + value + "'";
                return false;
            }
            options.density_scales = scales;
        } else if (word == "--no-detect") {
            options.detect = false;
        } else if (word == "--clean") {
            options.clean = true;
        } else if (word == "--replace") {
            options.clean = true;
            options.replace = true;
        } else if (word == "--cohort") {
            options.cohort = true;
        } else if (word == "--group") {
            if (!value_of(word, value)) return false;
            options.group_column = value;
        } else if (word == "-j" || word == "--jobs") {
            if (!value_of(word, value)) return false;
            if (!whole_number(value, number) || number < 1 || number > 1024 || number != static_cast<int>(number)) {
                error = "-j needs a whole number from 1 to 1024, not '" + value + "'";
                return false;
            }
            options.jobs = static_cast<int>(number);
        } else {
            error = "unknown option " + word;
            return false;
        }
    }
    options.settings = scan.settings;
    options.scales = scan.scales;
    options.surrogates = scan.surrogates;
    options.bootstrap = scan.bootstrap;
    options.surrogate_kind = scan.surrogate_kind;
    options.seed = scan.seed;
    if (options.help || options.version) return true;
    if (files.size() != 1) {
        error = files.empty() ? "no input file" : "one input file only ('" + files[0] + "' and '" + files[1] + "')";
        return false;
    }
    options.input = files[0];
    if (!options.group_column.empty() && !options.cohort) {
        error = "--group is for a cohort report (--cohort)";
        return false;
    }
    if (options.clean) options.detect = false;
    if (options.scales.empty()) options.scales = default_scales();
    return true;
}

std::string usage_text(const std::string& program) {
    std::string scales;
    for (const double s : default_scales()) scales += (scales.empty() ? "" : ",") + shortest(s);
    return "usage: " + program + " [OPTIONS] FILE\n"
           "       " + program + " --cohort [--group COLUMN] [-o PAGE] TABLE\n"
           "A self-contained HTML report of the recording FILE (and its provenance as\n"
           "JSON beside it), or of a cohort table written by nongauss-cohort or nongauss-scan.\n"
           "Without -s or -S the scales are " + scales + " s.\n"
           "\n" +
           scan_option_help(LetterScope{}) +
           "Flags:\n"
           "  --no-detect      do not run the artefact detector\n"
           "  --clean          flag with nongauss-clean's filters (default settings) and\n"
           "                   analyse the cleaned series (flagged intervals deleted)\n"
           "  --replace        as --clean, flagged intervals replaced by interpolation\n"
           "Output:\n"
           "  --densities LIST one to three scales whose densities are drawn (default:\n"
           "                   the first, middle and last scale)\n"
           "  -o PAGE          the page (default: BASE_report.html beside FILE); the JSON\n"
           "                   is PAGE with .html replaced by .json\n"
           "  --cohort         FILE is a cohort table\n"
           "  --group COLUMN   cohort: colour the recordings by this column's values\n"
           "  -j N             threads (default: the number of processors)\n"
           "  -h, --help       this text\n"
           "  --version        the version\n"
           "Exit status: 0 report written, 2 the recording or a scale could not be analysed\n"
           "(the report says why), 1 usage error or nothing written.\n";
}

std::string page_name(const ReportOptions& options) {
    if (!options.output.empty()) return options.output;
    return derive_names(options.input).base_name + "_report.html";
}

std::string json_name(const std::string& page) {
    const std::string suffix = ".html";
    if (page.size() > suffix.size() && page.compare(page.size() - suffix.size(), suffix.size(), suffix) == 0)
        return page.substr(0, page.size() - suffix.size()) + ".json";
    return page + ".json";
}

}  // namespace nongauss::report
