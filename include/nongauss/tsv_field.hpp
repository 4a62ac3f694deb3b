#pragma once

// Text as one field of a tab-separated line.

#include <string>

namespace nongauss {

/// `text` with tab, newline, carriage return and backslash written as
/// backslash-t, backslash-n, backslash-r and two backslashes, so that any
/// name stays one field of one line.
std::string escaped_field(const std::string& text);

}  // namespace nongauss
