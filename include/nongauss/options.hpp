#pragma once

// The analysis options every face takes, by the tool's letters: one table of
// them, and one place for their conversions and limits (the tool's parser,
// nongauss-scan's, the Python module and the fuzz targets read them here).

#include <cstddef>

#include "nongauss/settings.hpp"

namespace nongauss {

/// What an analysis option takes.
enum class OptionType {
    flag,     ///< nothing: the letter alone
    integer,  ///< a value word converted by convert_int_option
    real,     ///< a value word converted by convert_double_option
};

/// One analysis option: its letter (the word "-L") and what it takes.
struct AnalysisOption {
    char letter;
    OptionType type;
};

/// Every analysis option, in the order of the tool's usage text (which leaves
/// out -n, -r and -a: they come last). Defaults: Settings; limits: with_limits.
inline constexpr AnalysisOption analysis_options[] = {
    {'d', OptionType::integer}, {'s', OptionType::real}, {'q', OptionType::real},
    {'0', OptionType::flag},    {'3', OptionType::flag}, {'1', OptionType::flag},
    {'t', OptionType::real},    {'v', OptionType::flag}, {'m', OptionType::integer},
    {'n', OptionType::integer}, {'r', OptionType::real}, {'a', OptionType::flag},
};

/// The option of `letter`, or nullptr when no analysis option has it.
constexpr const AnalysisOption* find_analysis_option(char letter) {
    for (const AnalysisOption& option : analysis_options)
        if (option.letter == letter) return &option;
    return nullptr;
}

/// True when `letter` is an analysis option that takes a value word.
constexpr bool takes_value(char letter) {
    const AnalysisOption* option = find_analysis_option(letter);
    return option != nullptr && option->type != OptionType::flag;
}

/// The fitting method of -m M: M below 2 (0 and negative values too) selects
/// the normal equations, 2 and above the singular value decomposition.
constexpr FitMethod fit_method_of(int m) { return m >= 2 ? FitMethod::svd : FitMethod::normal_equations; }

/// Applies the analysis option `option` (a letter of type integer or real)
/// with its value word to `settings`, converted, and then the limits
/// (with_limits). Returns false, changing nothing, for a letter that is not
/// such an option.
bool apply_value_option(char option, const char* value, Settings& settings);

/// Applies the analysis flag `option` (0 1 3 v a). Returns false for a letter
/// that is not one.
bool apply_flag_option(char option, Settings& settings);

}  // namespace nongauss
