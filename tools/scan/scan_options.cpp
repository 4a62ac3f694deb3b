#include "scan/scan_options.hpp"

#include <charconv>
#include <climits>

#include "nongauss/options.hpp"
#include "nongauss/analysis.hpp"
#include "nongauss/formatted.hpp"
#include "nongauss/number_text.hpp"

namespace nongauss::scan {

namespace {

// A whole word that is a decimal number.
bool whole_number(const std::string& text, double& value) {
    if (text.empty()) return false;
    return decimal_prefix(text, value) == text.size();
}

}  // namespace

bool parse_scale_list(const std::string& text, std::vector<double>& scales) {
    std::vector<double> parsed;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        const std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        double value = 0.0;
        if (!whole_number(item, value)) return false;
        parsed.push_back(value);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    scales.insert(scales.end(), parsed.begin(), parsed.end());
    return true;
}

bool parse_scale_range(const std::string& text, std::vector<double>& scales) {
    const std::size_t first = text.find(':');
    if (first == std::string::npos) return false;
    const std::size_t second = text.find(':', first + 1);
    if (second == std::string::npos) return false;
    double from = 0.0;
    double to = 0.0;
    double count = 0.0;
    if (!whole_number(text.substr(0, first), from) || !whole_number(text.substr(first + 1, second - first - 1), to) ||
        !whole_number(text.substr(second + 1), count))
        return false;
    if (!(from > 0.0) || !(to > 0.0) || !(count >= 1.0) || count > 1e6 || count != static_cast<int>(count))
        return false;
    const std::vector<double> range = log_spaced_scales(from, to, static_cast<int>(count));
    scales.insert(scales.end(), range.begin(), range.end());
    return true;
}

bool parse_scan_options(const std::vector<std::string>& args, ScanOptions& options, std::string& error) {
    std::size_t i = 0;
    const auto value_of = [&](const std::string& word, std::string& value) {
        if (i + 1 >= args.size()) {
            error = "option " + word + " needs a value";
            return false;
        }
        value = args[++i];
        return true;
    };
    bool only_files = false;
    for (; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (only_files || word.empty() || word[0] != '-' || word == "-") {
            options.files.push_back(word);
            continue;
        }
        std::string value;
        if (word == "--") {
            only_files = true;
        } else if (word == "--help" || word == "-h") {
            options.help = true;
        } else if (word == "--version") {
            options.version = true;
        } else if (word == "--wfdb") {
            options.wfdb = true;
        } else if (word == "--all-beats") {
            options.all_beats = true;
        } else if (word == "--pdf") {
            if (!value_of(word, value)) return false;
            if (value.empty()) {
                error = "--pdf needs a directory";
                return false;
            }
            options.pdf_dir = value;
        } else if (word == "-j" || word == "--jobs") {
            if (!value_of(word, value)) return false;
            double jobs = 0.0;
            if (!whole_number(value, jobs) || jobs < 1 || jobs > 1024 || jobs != static_cast<int>(jobs)) {
                error = "-j needs a whole number from 1 to 1024, not '" + value + "'";
                return false;
            }
            options.jobs = static_cast<int>(jobs);
        } else if (word == "--surrogates" || word == "--bootstrap") {
            if (!value_of(word, value)) return false;
            double count = 0.0;
            const bool surrogates = word == "--surrogates";
            const double most = surrogates ? 100000 : 1000000;
            if (!whole_number(value, count) || count < 0 || count > most || count != static_cast<int>(count)) {
                error = word + " needs a whole number from 0 to " + (surrogates ? "100000" : "1000000") +
                        ", not '" + value + "'";
                return false;
            }
            (surrogates ? options.surrogates : options.bootstrap) = static_cast<int>(count);
        } else if (word == "--surrogate-kind") {
            if (!value_of(word, value)) return false;
            if (value != "iaaft" && value != "phase") {
                error = "--surrogate-kind needs iaaft or phase, not '" + value + "'";
                return false;
            }
            options.phase_surrogates = value == "phase";
        } else if (word == "--seed") {
            if (!value_of(word, value)) return false;
            std::uint64_t seed = 0;
            const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), seed);
            if (value.empty() || ec != std::errc() || end != value.data() + value.size()) {
                error = "--seed needs a whole number from 0 to 18446744073709551615, not '" + value + "'";
                return false;
            }
            options.seed = seed;
        } else if (word == "--clean") {
            options.clean = true;
        } else if (word == "-s") {
            if (!value_of(word, value)) return false;
            if (!parse_scale_list(value, options.scales)) {
                error = "-s needs a comma-separated list of numbers (seconds), not '" + value + "'";
                return false;
            }
        } else if (word == "-S") {
            if (!value_of(word, value)) return false;
            if (!parse_scale_range(value, options.scales)) {
                error = "-S needs FROM:TO:N (FROM and TO above 0 seconds, N a whole number of at least 1), not '" +
                        value + "'";
                return false;
            }
        } else if (word.size() == 2 && apply_flag_option(word[1], options.settings)) {
            // -0, -1, -3 (and -v, -a, which only concern the TS file nongauss writes)
        } else if (word.size() == 2 && takes_value(word[1])) {  // -s, the scales, is taken above
            if (!value_of(word, value)) return false;
            apply_value_option(word[1], value.c_str(), options.settings);
        } else {
            error = "unknown option " + word;
            return false;
        }
    }
    if (options.help || options.version) return true;
    if (options.all_beats && !options.wfdb) {
        error = "--all-beats needs --wfdb";
        return false;
    }
    if (options.scales.empty()) {
        error = "no scales: give them with -s LIST or -S FROM:TO:N";
        return false;
    }
    if (options.files.empty()) {
        error = "no input files";
        return false;
    }
    return true;
}

std::string usage_text(const std::string& program) {
    // The defaults and limits are the library's (Settings, with_limits).
    const Settings d;
    const bool svd = d.fit == FitMethod::svd;
    const char* const resampling = d.interpolation == Interpolation::step     ? "-0"
                                   : d.interpolation == Interpolation::linear ? "-1"
                                                                              : "-3";
    return "usage: " + program + " [OPTIONS] (-s LIST | -S FROM:TO:N) FILE...\n"
           "Lambda and SD of every FILE at every scale, as one TSV table on standard output.\n"
           "\n"
           "Scales (seconds, in the order given; both may be repeated):\n"
           "  -s LIST          comma-separated scales, e.g. 5,10,25,50,100\n"
           "  -S FROM:TO:N     N scales spaced evenly on a logarithmic axis from FROM to TO\n"
           "Analysis options (as nongauss takes them):\n" +
           formatted("  -d N             detrending polynomial of degree N (default %d; 0: none)\n", d.degree) +
           formatted("  -m M             fitting: 1 normal equations%s, 2 singular value decomposition%s\n",
                     svd ? "" : " (default)", svd ? " (default)" : "") +
           formatted("  -q Q             order of the absolute moment (default %g)\n", d.moment_order) +
           formatted("  -0 | -1 | -3     step function, linear or cubic spline resampling (default %s)\n", resampling) +
           formatted("  -t T             resampling interval in seconds (default %g, at least %g)\n", d.dt, min_dt_s) +
           formatted("  -n N             histogram bins (default %d, at least %d)\n", d.nbins, min_bins) +
           formatted("  -r R             divisor of the densities in the PDF files (default %g)\n", d.pdf_divisor) +
           "Input:\n"
           "  --wfdb           every FILE is a beat annotation file RECORD.ANNOTATOR with its\n"
           "                   header RECORD.hea beside it: its normal-to-normal intervals are\n"
           "                   analysed (in seconds)\n"
           "  --all-beats      with --wfdb: every beat-to-beat interval\n"
           "Output:\n"
           "  --pdf DIR        write each file's density at each scale to DIR/NAME_SCALEs_PDF.txt\n"
           "  -j N             files analysed at once (default: the number of processors)\n"
           "Defending lambda (each adds its columns, before warnings):\n"
           "  --surrogates N   the floor and test against N IAAFT surrogates (default 0: none):\n"
           "                   lambda_floor (their median lambda), p_surrogate ((1 + those at or\n"
           "                   above the series) / (N + 1)); 99 reaches p = 0.01\n"
           "  --surrogate-kind iaaft | phase\n"
           "                   iaaft (default): the intervals reordered, spectrum and distribution\n"
           "                   kept; the test rejects a linear process with both, no physiology;\n"
           "                   phase: Gaussian with the spectrum, a floor and not a test (no p)\n"
           "  --bootstrap B    B replicates of a circular block bootstrap (2-hour blocks of whole\n"
           "                   windows): lambda_se, lambda_lower, lambda_upper (95 % interval);\n"
           "                   the spread within one recording, less than between recordings\n"
           "  --seed S         the seed of the surrogates and the bootstrap (default 1)\n"
           "  --clean          flag artefacts as nongauss-clean does (its range and deviation\n"
           "                   filters, defaults), fill them and leave out every window touching\n"
           "                   one: windows_used, windows_left_out\n"
           "  -h, --help       this text\n"
           "  --version        the version\n"
           "Columns: file, scale_s, scale_pt, sd_ms, lambda, lambda_sq, n_increments, n_beats,\n"
           "duration_s, unit, those the options above add, warnings. Exit status: 0 all analysed,\n"
           "2 some file or scale failed (its rows say why), 1 usage error or output not written.\n";
}

}  // namespace nongauss::scan
