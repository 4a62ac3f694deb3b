#pragma once

// Text of the report's pages and files: links, JSON strings, the SHA-256 of
// a file (and html_escaped, public in nongauss/report.hpp).

#include <string>
#include <string_view>

#include "nongauss/report.hpp"

namespace nongauss::report {

/// A relative link to `path`: every byte but letters, digits, '/', '-', '.',
/// '_' and '~' percent-encoded, and a first component that could be read as
/// a scheme ("javascript:") kept from being one ("./" before it). To stand in
/// an attribute it still goes through html_escaped().
std::string link_to(std::string_view path);

/// `text` as a JSON string, quotes included; bytes that are not valid UTF-8
/// as U+FFFD.
std::string json_string(std::string_view text);

/// A double as JSON: the shortest text that reads back as the same double;
/// null for one that is not finite.
std::string json_number(double value);

/// The SHA-256 of the file `path` as 64 lower-case hexadecimal digits; empty
/// with `error` set when it cannot be read.
std::string sha256_of_file(const std::string& path, std::string& error);

}  // namespace nongauss::report
