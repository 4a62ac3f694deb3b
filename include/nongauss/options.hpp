#pragma once

// The analysis options every face takes, by the tool's letters: one place for
// their conversions and limits (the tool's parser, nongauss-scan's and the
// fuzz target read them here).

#include "nongauss/settings.hpp"

namespace nongauss {

/// Applies the analysis option `option` (one of d m n q r s t) with its value
/// word to `settings`, with the tool's conversions and limits. Returns false
/// for a letter that is not a value option. Shared by every face that takes
/// the tool's analysis options.
bool apply_value_option(char option, const char* value, Settings& settings);

/// Applies the analysis flag `option` (0 1 3 v a). Returns false for a letter
/// that is not one.
bool apply_flag_option(char option, Settings& settings);

}  // namespace nongauss
