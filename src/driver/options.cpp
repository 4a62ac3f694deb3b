#include "driver/options.hpp"

#include <climits>
#include <cstdio>
#include <string_view>

#include "driver/decimal.hpp"

#ifndef NONGAUSS_VERSION
#define NONGAUSS_VERSION "unknown"
#endif

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
    std::fputs("nongauss " NONGAUSS_VERSION "\n", stdout);
    return flushed_stdout();
}

Names derive_names(const std::string& input_name) {
    Names names;
    names.input_name = input_name;
    const std::size_t slash = input_name.rfind('/');
    const std::size_t component = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = input_name.rfind('.');
    const bool ends_base = dot != std::string::npos && dot > component;
    names.base_name = ends_base ? input_name.substr(0, dot) : input_name;
    names.ts_name = names.base_name + "_TS.txt";
    names.pdf_name = names.base_name + "_PDF.txt";
    return names;
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
        switch (option) {
            case '0': settings.interp_method = 0; break;
            case '1': settings.interp_method = 1; break;
            case '3': settings.interp_method = 2; break;
            case 'v': settings.standardize = 1; break;
            case 'a': settings.standardize = 2; break;
            case 'd': case 'm': case 'n': case 'q': case 'r': case 's': case 't': {
                if (++i >= argc) return CommandLine::usage_error;  // a value option needs its value
                const char* value = argv[i];
                switch (option) {
                    case 'd': {
                        const int n = convert_int_option(value);
                        settings.ncoef = n == INT_MAX ? INT_MAX : n + 1;
                        break;
                    }
                    case 'm': {
                        const int m = convert_int_option(value);
                        settings.fit_method = m < 0 ? 1 : (m > 2 ? 2 : m);
                        break;
                    }
                    case 'n': {
                        const int n = convert_int_option(value);
                        settings.nbins = n < 10 ? 10 : n;
                        break;
                    }
                    case 'q': settings.moment_order = convert_double_option(value); break;
                    case 'r': {
                        const double r = convert_double_option(value);
                        settings.pdf_divisor = r == 0.0 ? 1.0 : r;
                        break;
                    }
                    case 's': {
                        const double s = convert_double_option(value);
                        settings.scale = s < 2.0 ? 2.0 : s;
                        break;
                    }
                    default: {  // 't'
                        const double t = convert_double_option(value);
                        settings.dt = t < 0.01 ? 0.01 : t;
                        break;
                    }
                }
                break;
            }
            default: return CommandLine::usage_error;
        }
        ++i;
    }

    names = derive_names(argv[argc - 1]);
    return CommandLine::analyse;
}

}  // namespace nongauss
