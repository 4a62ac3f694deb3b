#include <charconv>
#include <cstring>

#include "nongauss/analysis.hpp"
#include "nongauss/formatted.hpp"
#include "nongauss/number_text.hpp"
#include "nongauss/options.hpp"
#include "nongauss/scan.hpp"

namespace nongauss {

namespace {

// A whole word that is a decimal number.
bool whole_number(const std::string& text, double& value) {
    return !text.empty() && decimal_prefix(text, value) == text.size();
}

// A count from 0 to `most`, or false.
bool count_word(const std::string& text, int most, int& count) {
    double value = 0.0;
    if (!whole_number(text, value) || value < 0 || value > most || value != static_cast<int>(value)) return false;
    count = static_cast<int>(value);
    return true;
}

// An analysis letter (the word "-L") that a face of `scope` takes.
bool in_scope(char letter, LetterScope scope) {
    if (letter == 'v' || letter == 'a') return scope.ts_file;
    if (letter == 'r') return scope.pdf_file;
    return letter != 's' && find_analysis_option(letter) != nullptr;  // -s is the scale list here
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

OptionTaken take_scan_option(const std::string& word, const std::function<bool(std::string&)>& value,
                             LetterScope letters, ScanSettings& scan, std::string& error) {
    const auto fail = [&](const std::string& why) {
        error = why;
        return OptionTaken::error;
    };
    const bool letter = word.size() == 2 && word[0] == '-' && in_scope(word[1], letters);
    const bool flag = letter && !takes_value(word[1]);
    if (flag) {
        apply_flag_option(word[1], scan.settings);
        return OptionTaken::yes;
    }
    const bool known = letter || word == "-s" || word == "-S" || word == "--surrogates" ||
                       word == "--surrogate-kind" || word == "--bootstrap" || word == "--seed";
    if (!known) return OptionTaken::no;
    std::string v;
    if (!value(v)) return fail("option " + word + " needs a value");
    if (letter) {
        apply_value_option(word[1], v.c_str(), scan.settings);
    } else if (word == "-s") {
        if (!parse_scale_list(v, scan.scales))
            return fail("-s needs a comma-separated list of numbers (seconds), not '" + v + "'");
    } else if (word == "-S") {
        if (!parse_scale_range(v, scan.scales))
            return fail("-S needs FROM:TO:N (FROM and TO above 0 seconds, N a whole number of at least 1), not '" +
                        v + "'");
    } else if (word == "--surrogates") {
        if (!count_word(v, max_surrogates, scan.surrogates))
            return fail(formatted("--surrogates needs a whole number from 0 to %d, not '", max_surrogates) + v + "'");
    } else if (word == "--bootstrap") {
        if (!count_word(v, max_bootstrap, scan.bootstrap))
            return fail(formatted("--bootstrap needs a whole number from 0 to %d, not '", max_bootstrap) + v + "'");
    } else if (word == "--surrogate-kind") {
        if (v != "iaaft" && v != "phase") return fail("--surrogate-kind needs iaaft or phase, not '" + v + "'");
        scan.surrogate_kind = v == "phase" ? SurrogateKind::phase_randomised : SurrogateKind::iaaft;
    } else {  // --seed
        std::uint64_t seed = 0;
        const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), seed);
        if (v.empty() || ec != std::errc() || end != v.data() + v.size())
            return fail("--seed needs a whole number from 0 to 18446744073709551615, not '" + v + "'");
        scan.seed = seed;
    }
    return OptionTaken::yes;
}

std::string scan_option_help(LetterScope letters) {
    // The defaults and limits are the library's (Settings, with_limits).
    const Settings d;
    const ScanSettings s;
    const bool svd = d.fit == FitMethod::svd;
    const char* const resampling = d.interpolation == Interpolation::step     ? "-0"
                                   : d.interpolation == Interpolation::linear ? "-1"
                                                                              : "-3";
    std::string help =
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
        formatted("  -n N             histogram bins (default %d, at least %d)\n", d.nbins, min_bins);
    if (letters.pdf_file)
        help += formatted("  -r R             divisor of the densities in the PDF files (default %g)\n", d.pdf_divisor);
    help += "Defending lambda:\n" +
            formatted("  --surrogates N   the floor and test against N IAAFT surrogates (default %d: none):\n",
                      s.surrogates) +
            "                   lambda_floor (their median lambda), p_surrogate ((1 + those at or\n"
            "                   above the series) / (N + 1)); 99 reaches p = 0.01\n"
            "  --surrogate-kind iaaft | phase\n"
            "                   iaaft (default): the intervals reordered, spectrum and distribution\n"
            "                   kept; the test rejects a linear process with both, no physiology;\n"
            "                   phase: Gaussian with the spectrum, a floor and not a test (no p)\n"
            "  --bootstrap B    B replicates of a circular block bootstrap (2-hour blocks of whole\n"
            "                   windows): lambda_se, lambda_lower, lambda_upper (95 % interval);\n"
            "                   the spread within one recording, less than between recordings\n" +
            formatted("  --seed S         the seed of the surrogates and the bootstrap (default %llu)\n",
                      static_cast<unsigned long long>(s.seed));
    return help;
}

}  // namespace nongauss
