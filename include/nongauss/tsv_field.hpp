#pragma once

// Text as one field of a tab-separated line, and the fields of a line.

#include <string>
#include <vector>

namespace nongauss {

/// `text` with tab, newline, carriage return and backslash written as
/// backslash-t, backslash-n, backslash-r and two backslashes, so that any
/// name stays one field of one line.
std::string escaped_field(const std::string& text);

/// The fields of one tab-separated line, as they stand (no unescaping): n
/// tabs give n + 1 fields, an empty line one empty field.
std::vector<std::string> tab_fields(const std::string& line);

}  // namespace nongauss
