#pragma once

// The command line of nongauss-scan.

#include <cstdint>
#include <string>
#include <vector>

#include "nongauss/settings.hpp"

namespace nongauss::scan {

struct ScanOptions {
    Settings settings;               ///< the analysis options (the tool's letters and limits)
    std::vector<double> scales;      ///< in command-line order, as given (limited later)
    std::vector<std::string> files;  ///< in command-line order
    std::string pdf_dir;             ///< --pdf DIR; empty: no PDF files
    int jobs = 0;                    ///< -j N: files analysed at once; 0: the processor's count
    int surrogates = 0;              ///< --surrogates N: the surrogate floor and test; 0: none
    bool phase_surrogates = false;   ///< --surrogate-kind phase (the floor alone); default iaaft
    std::uint64_t seed = 1;          ///< --seed S: of the surrogates and the bootstrap
    int bootstrap = 0;               ///< --bootstrap B: replicates of the block bootstrap; 0: none
    bool clean = false;              ///< --clean: the cleaner's flags, their windows left out
    bool wfdb = false;               ///< --wfdb: the files are beat annotation files
    bool all_beats = false;          ///< --all-beats: every beat-to-beat interval, not normal-to-normal
    bool help = false;
    bool version = false;
};

/// Parses the arguments (argv[1..]). On a usage error returns false with the
/// reason in `error` (one line, no newline).
bool parse_scan_options(const std::vector<std::string>& args, ScanOptions& options, std::string& error);

/// A scale list "5,10,25.5": every item a whole decimal number. False for an
/// empty list, an empty item or an item that is not a number.
bool parse_scale_list(const std::string& text, std::vector<double>& scales);

/// "FROM:TO:N": N scales spaced evenly on a logarithmic axis from FROM to TO
/// (both > 0, N >= 1 a whole number). False otherwise.
bool parse_scale_range(const std::string& text, std::vector<double>& scales);

/// The usage text.
std::string usage_text(const std::string& program);

}  // namespace nongauss::scan
