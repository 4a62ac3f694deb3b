#include "driver/options.hpp"

#include <climits>
#include <cstdio>
#include <string_view>

#include "nongauss/version.hpp"

#include "nongauss/number_text.hpp"

namespace nongauss {

namespace {

std::string invoked_as;

// Line 11 holds the full-width comma in its two-byte code page 932 form.
const char* const usage_lines[] = {
    "usage: %s [OPTIONS ...] RRI_data_filename\n",
    "OPTION:",
    " -d N             detrending using a polynomial of degree N",
    " -s W             scale (sec)",
    " -q Q             order of the absolute moment for estimation",
    " -0               Using step step interporation",
    " -3               Using cubic spline interpolation",
    " -1               linear interpolation",
    " -t T             Resampling time interval, T",
    " -v               Standardize",
    " -m M             least squares fitting algorithm (M=1:normal equation\x81\x43M=2:singular value decomposition)",
    " -h               print this usage summary",
    "",
};

}  // namespace

const std::string& program_name() { return invoked_as; }

namespace {

void write_usage(std::FILE* stream) {
    std::fprintf(stream, usage_lines[0], invoked_as.c_str());
    for (int i = 1; usage_lines[i][0] != '\0'; ++i) std::fprintf(stream, "%s\n", usage_lines[i]);
}

bool flushed_stdout() { return std::fflush(stdout) == 0 && std::ferror(stdout) == 0; }

}  // namespace

void print_usage() { write_usage(stderr); }

bool print_help() {
    write_usage(stdout);
    return flushed_stdout();
}

bool print_version() {
    std::fprintf(stdout, "nongauss %s\n", nongauss::version);
    return flushed_stdout();
}

CommandLine parse_command_line(int argc, const char* const* argv, Settings& settings, Names& names) {
    invoked_as = (argc > 0 && argv[0] != nullptr) ? argv[0] : "";
    if (argc < 2) return CommandLine::usage_error;

    int i = 1;
    while (i < argc && argv[i][0] == '-') {
        const std::string_view word = argv[i];
        if (word == "--") {
            if (i + 1 >= argc) return CommandLine::usage_error;  // no input after it
            break;
        }
        if (word == "--help") return CommandLine::help;
        if (word == "--version") return CommandLine::version;
        const char option = argv[i][1];
        if (!apply_flag_option(option, settings)) {
            if (!takes_value(option)) return CommandLine::usage_error;
            if (++i >= argc) return CommandLine::usage_error;  // a value option needs its value
            apply_value_option(option, argv[i], settings);
        }
        ++i;
    }

    names = derive_names(argv[argc - 1]);
    return CommandLine::analyse;
}

}  // namespace nongauss
