// Fuzz target: the option parser on arbitrary argument vectors.
//
// The bytes are split at NUL into the words after the program name. Besides
// memory safety: a parse that succeeds leaves every setting within its limits
// and derives the names from the last word; the option conversions agree with
// the C library's conversions wherever the two accept the same text.
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "nongauss/number_text.hpp"
#include "driver/options.hpp"
#include "scratch.hpp"

namespace {

using nongauss::fuzzing::require;

constexpr std::size_t max_words = 64;

// The C library reads the same integer syntax; it saturates at the long long
// range, the option at the int range.
void check_int_conversion(const char* word) {
    errno = 0;
    const long long reference = std::strtoll(word, nullptr, 10);
    const long long clamped = reference > INT_MAX ? INT_MAX : (reference < INT_MIN ? INT_MIN : reference);
    require(nongauss::convert_int_option(word) == clamped, "integer option agrees with strtoll");
}

// Where strtod sees a plain decimal number (not hexadecimal, inf or nan), it
// must read the same prefix to the same correctly rounded value.
void check_double_conversion(const char* word) {
    const double value = nongauss::convert_double_option(word);
    require(!std::isnan(value), "a floating-point option is never NaN");
    const char* p = word;
    while (nongauss::is_space(*p)) ++p;
    const char* body = (*p == '+' || *p == '-') ? p + 1 : p;
    const bool plain = nongauss::is_digit(*body) || *body == '.';
    const bool hex = body[0] == '0' && (body[1] == 'x' || body[1] == 'X');
    if (!plain || hex) return;
    char* end = nullptr;
    const double reference = std::strtod(word, &end);
    if (end == word) {
        require(value == 0.0, "no number converts to 0");
        return;
    }
    require(value == reference && std::signbit(value) == std::signbit(reference),
            "floating-point option agrees with strtod");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> words = {"nongauss"};
    std::string word;
    for (std::size_t i = 0; i < size && words.size() <= max_words; ++i) {
        if (data[i] == 0) {
            words.push_back(word);
            word.clear();
        } else {
            word.push_back(static_cast<char>(data[i]));
        }
    }
    if (size > 0 && words.size() <= max_words) words.push_back(word);

    std::vector<const char*> argv;
    for (const auto& w : words) argv.push_back(w.c_str());
    argv.push_back(nullptr);
    const int argc = static_cast<int>(words.size());

    for (int i = 1; i < argc; ++i) {
        check_int_conversion(argv[i]);
        check_double_conversion(argv[i]);
    }

    nongauss::Settings settings;
    nongauss::Names names;
    const nongauss::CommandLine outcome = nongauss::parse_command_line(argc, argv.data(), settings, names);
    if (outcome == nongauss::CommandLine::help || outcome == nongauss::CommandLine::version) return 0;
    const bool ok = outcome == nongauss::CommandLine::analyse;
    require(nongauss::program_name() == "nongauss", "program name stored");
    if (!ok) {
        nongauss::print_usage();
        return 0;
    }

    require(argc >= 2, "a parse needs a word besides the program name");
    // The parser applies the limits the library applies: nothing left to change.
    const nongauss::Settings limited = nongauss::with_limits(settings);
    require(limited.scale == settings.scale && limited.dt == settings.dt && limited.nbins == settings.nbins &&
                limited.pdf_divisor == settings.pdf_divisor,
            "parsed settings within the library's limits");
    require(settings.nbins >= 10, "at least 10 bins");
    require(settings.scale >= 2.0, "scale at least 2");
    require(settings.dt >= 0.01, "interval at least 0.01");
    require(settings.pdf_divisor != 0.0 && !std::isnan(settings.pdf_divisor), "divisor usable");
    require(!std::isnan(settings.moment_order), "moment order a number");

    const std::string& last = words.back();
    require(names.input_name == last, "input is the last word");
    const std::size_t component = last.rfind('/') == std::string::npos ? 0 : last.rfind('/') + 1;
    const std::size_t dot = last.rfind('.');
    require(names.base_name == (dot != std::string::npos && dot > component ? last.substr(0, dot) : last),
            "base up to the last dot of the final component");
    require(names.ts_name == names.base_name + "_TS.txt", "TS name");
    require(names.pdf_name == names.base_name + "_PDF.txt", "PDF name");
    return 0;
}
