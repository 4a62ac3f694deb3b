// nongauss-synth: writes a synthetic RR-interval series whose non-Gaussianity
// lambda is known, one interval per line.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "nongauss/formatted.hpp"
#include "nongauss/output_file.hpp"
#include "nongauss/synth.hpp"

#ifndef NONGAUSS_VERSION
#define NONGAUSS_VERSION "unknown"
#endif

namespace {

using nongauss::synth::Format;
using nongauss::synth::Model;
using nongauss::synth::Range;

// The defaults and ranges are the generator's (Model, nongauss/synth.hpp).
std::string help_text() {
    using namespace nongauss::synth;
    const Model m;
    return std::string("usage: nongauss-synth [OPTIONS]\n"
    "Writes a synthetic RR-interval series, one interval per line, whose\n"
    "coarse-grained increments follow the non-Gaussian model with a chosen\n"
    "lambda at scales well below half a block (25 s with the default block).\n"
    "\n") +
    nongauss::formatted("  --hours H      length of the series in hours (default %g; up to %g)\n", m.hours,
                        hours_range.hi) +
    "  --lambda L     non-Gaussianity: the standard deviation of the log\n" +
    nongauss::formatted("                 amplitude over blocks (default %g; %g to %g; 0 is Gaussian)\n",
                        m.lambda, lambda_range.lo, lambda_range.hi) +
    nongauss::formatted("  --seed N       seed of the generator, 0 to 2^64-1 (default %llu)\n",
                        static_cast<unsigned long long>(m.seed)) +
    nongauss::formatted("  --mean MS      mean RR interval in ms (default %g; %g to %g)\n", m.mean_ms, mean_range.lo,
                        mean_range.hi) +
    nongauss::formatted("  --sd MS        RMS fluctuation around the mean in ms (default %g; %g to %g)\n", m.sd_ms,
                        sd_range.lo, sd_range.hi) +
    nongauss::formatted("  --block S      seconds of constant amplitude (default %g; %g to %g)\n", m.block_s,
                        block_range.lo, block_range.hi) +
    "  --unit U       ms or s (default ms)\n" +
    nongauss::formatted("  --decimals D   decimals written (default 0 for ms, 3 for s; 0 to %d, at\n", max_decimals) +
    "                 least 1 for s)\n"
    "  -o, --output F write to the file F instead of standard output\n"
    "  -h, --help     print this help and exit\n"
    "  --version      print the version and exit\n"
    "\n"
    "\n"
    "The same options and seed give the same file on every platform.\n"
    "Exit status: 0 written, 1 usage error or not enough memory, 2 the output could not be\n"
    "written.\n";
}

int usage_error(const std::string& message) {
    std::fprintf(stderr, "nongauss-synth: %s\nTry 'nongauss-synth --help'.\n", message.c_str());
    return 1;
}

int wants(const char* option, const Range& range, const std::string& value) {
    return usage_error(std::string(option) + " wants " + range.wants + ", not '" + value + "'");
}

// Whole-word number in `range`; false for anything else.
bool parse_number(const std::string& text, const Range& range, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !range.contains(v)) return false;
    // strtod also accepts hexadecimal and "inf"/"nan": only plain decimals here.
    for (const char c : text)
        if (!(std::strchr("0123456789.+-eE", c))) return false;
    value = v;
    return true;
}

bool parse_seed(const std::string& text, std::uint64_t& value) {
    if (text.empty() || text.size() > 20) return false;
    std::uint64_t v = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (v > (UINT64_MAX - digit) / 10) return false;
        v = v * 10 + digit;
    }
    value = v;
    return true;
}

}  // namespace

int main(int argc, char** argv) try {
    nongauss::install_output_cleanup();
    Model model;
    Format format;
    int decimals = -1;  // unset: the unit's default
    std::string output;

    for (int i = 1; i < argc; ++i) {
        std::string word = argv[i];
        if (word == "-h" || word == "--help") {
            std::fputs(help_text().c_str(), stdout);
            return 0;
        }
        if (word == "--version") {
            std::printf("nongauss-synth %s\n", NONGAUSS_VERSION);
            return 0;
        }
        std::string value;
        bool has_value = false;
        if (const auto eq = word.find('='); word.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = word.substr(eq + 1);
            word = word.substr(0, eq);
            has_value = true;
        }
        const bool known = word == "--hours" || word == "--lambda" || word == "--seed" ||
                           word == "--mean" || word == "--sd" || word == "--block" ||
                           word == "--unit" || word == "--decimals" || word == "-o" ||
                           word == "--output";
        if (!known) return usage_error("unknown option '" + word + "'");
        if (!has_value) {
            if (i + 1 >= argc) return usage_error("option '" + word + "' needs a value");
            value = argv[++i];
        }

        double number = 0.0;
        if (word == "--hours") {
            if (!parse_number(value, nongauss::synth::hours_range, model.hours))
                return wants("--hours", nongauss::synth::hours_range, value);
        } else if (word == "--lambda") {
            if (!parse_number(value, nongauss::synth::lambda_range, model.lambda))
                return wants("--lambda", nongauss::synth::lambda_range, value);
        } else if (word == "--seed") {
            if (!parse_seed(value, model.seed))
                return usage_error("--seed wants an integer from 0 to 18446744073709551615, not '" +
                                   value + "'");
        } else if (word == "--mean") {
            if (!parse_number(value, nongauss::synth::mean_range, model.mean_ms))
                return wants("--mean", nongauss::synth::mean_range, value);
        } else if (word == "--sd") {
            if (!parse_number(value, nongauss::synth::sd_range, model.sd_ms))
                return wants("--sd", nongauss::synth::sd_range, value);
        } else if (word == "--block") {
            if (!parse_number(value, nongauss::synth::block_range, model.block_s))
                return wants("--block", nongauss::synth::block_range, value);
        } else if (word == "--unit") {
            if (value != "ms" && value != "s")
                return usage_error("--unit wants ms or s, not '" + value + "'");
            format.seconds = value == "s";
        } else if (word == "--decimals") {
            constexpr int most = nongauss::synth::max_decimals;
            if (!parse_number(value, {0.0, most, false, ""}, number) || number != std::floor(number))
                return usage_error("--decimals wants an integer from 0 to " + std::to_string(most) + ", not '" +
                                   value + "'");
            decimals = static_cast<int>(number);
        } else {
            if (value.empty()) return usage_error("--output wants a file name");
            output = value;
        }
    }
    format.decimals = decimals >= 0 ? decimals : (format.seconds ? 3 : 0);
    if (format.seconds && format.decimals == 0)
        return usage_error("--unit s needs at least one decimal; whole seconds are no RR intervals");

    const nongauss::synth::Series series = nongauss::synth::generate(model, format);

    // A file is written under a temporary name and put in place once
    // complete; the first failed write ends the run, and the name keeps what
    // it held.
    nongauss::OutputFile file;
    if (!output.empty() && !file.open(output)) {
        std::fprintf(stderr, "nongauss-synth: cannot open %s: %s\n", output.c_str(), file.error().c_str());
        return 2;
    }
    std::FILE* out = output.empty() ? stdout : file.stream();
    bool failed = false;
    for (const std::int64_t q : series.quanta) {
        const std::string text = nongauss::synth::format_quanta(q, format.decimals);
        if (std::fputs(text.c_str(), out) < 0 || std::fputc('\n', out) == EOF) {
            failed = true;
            break;
        }
    }
    failed = failed || std::ferror(out) != 0;
    if (output.empty()) failed = std::fflush(out) != 0 || failed;
    else failed = !file.finish() || failed || !file.commit();
    if (failed) {
        std::fprintf(stderr, "nongauss-synth: error while writing %s\n",
                     output.empty() ? "standard output" : output.c_str());
        return 2;
    }
    if (series.clamped > 0)
        std::fprintf(stderr,
                     "nongauss-synth: warning: %ld intervals were clamped to %g..%g ms; the "
                     "series departs from the model\n",
                     series.clamped, nongauss::synth::min_interval_ms,
                     nongauss::synth::max_interval_ms);
    return 0;
} catch (const std::bad_alloc&) {
    std::fputs("nongauss-synth: allocation failure: not enough memory for this series\n", stderr);
    return 1;
}
