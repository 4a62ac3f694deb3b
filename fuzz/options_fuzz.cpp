// Fuzz target: the analysis options on arbitrary argument vectors.
//
// The bytes are split at NUL into words, taken as the tool takes them: a word
// "-L" of an analysis option's letter applies it, with the next word as its
// value where it takes one; the last word names the input. Besides memory
// safety: the options leave every setting within its limits, the names come
// from the last word, and the option conversions agree with the C library's
// conversions wherever the two accept the same text.
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "nongauss/number_text.hpp"
#include "nongauss/options.hpp"
#include "nongauss/tables.hpp"
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
    std::vector<std::string> words;
    std::string word;
    for (std::size_t i = 0; i < size && words.size() < max_words; ++i) {
        if (data[i] == 0) {
            words.push_back(word);
            word.clear();
        } else {
            word.push_back(static_cast<char>(data[i]));
        }
    }
    if (words.size() < max_words) words.push_back(word);

    for (const std::string& w : words) {
        check_int_conversion(w.c_str());
        check_double_conversion(w.c_str());
    }

    nongauss::Settings settings;
    for (std::size_t i = 0; i + 1 < words.size() && words[i].size() >= 2 && words[i][0] == '-'; ++i) {
        const char letter = words[i][1];
        if (nongauss::apply_flag_option(letter, settings)) continue;
        const bool applied = nongauss::apply_value_option(letter, words[i + 1].c_str(), settings);
        require(applied == nongauss::takes_value(letter), "a value option is one of the table's");
        if (!applied) break;
        ++i;
    }

    // The options apply the limits the library applies: nothing left to change.
    const nongauss::Settings limited = nongauss::with_limits(settings);
    require(limited.scale == settings.scale && limited.dt == settings.dt && limited.nbins == settings.nbins &&
                limited.pdf_divisor == settings.pdf_divisor,
            "settings within the library's limits");
    require(settings.nbins >= nongauss::min_bins, "at least 10 bins");
    require(settings.scale >= nongauss::min_scale_s, "scale at least 2");
    require(settings.dt >= nongauss::min_dt_s, "interval at least 0.01");
    require(settings.pdf_divisor != 0.0 && !std::isnan(settings.pdf_divisor), "divisor usable");
    require(!std::isnan(settings.moment_order), "moment order a number");

    const nongauss::Names names = nongauss::derive_names(words.back());
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
