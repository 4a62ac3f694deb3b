#pragma once

// The command line of nongauss-scan.

#include <string>
#include <vector>

#include "nongauss/scan.hpp"

namespace nongauss::scan {

/// What a scan computes (the library's ScanSettings), and the program's own.
struct ScanOptions : ScanSettings {
    std::vector<std::string> files;  ///< in command-line order
    int jobs = 0;                    ///< -j N: files analysed at once; 0: the processor's count
    bool help = false;
    bool version = false;
};

/// The analysis letters nongauss-scan takes besides the analysis proper: -r
/// (it writes densities) and -v, -a (accepted as nongauss takes them; they
/// concern only its TS file).
inline constexpr LetterScope scan_letters{true, true};

/// Parses the arguments (argv[1..]). On a usage error returns false with the
/// reason in `error` (one line, no newline).
bool parse_scan_options(const std::vector<std::string>& args, ScanOptions& options, std::string& error);

/// The usage text.
std::string usage_text(const std::string& program);

}  // namespace nongauss::scan
