#pragma once

// Command line of nongauss-clean: settings, parsing, help and version text.

#include <optional>
#include <string>

#include "nongauss/clean.hpp"
#include "nongauss/series.hpp"

namespace nongauss::clean {

/// The command line of one cleaning run, with its defaults.
struct CommandLine {
    std::string input;               ///< the input file
    std::string output;              ///< the output file; empty: standard output
    std::optional<Unit> unit;        ///< the input's unit; none: the unit rule
    std::string column;              ///< the column to read: a 1-based number or a header name; empty: all numbers
    bool decimal_comma = false;      ///< ',' is the decimal mark
    bool range_filter = true;        ///< flag intervals outside [min_s, max_s]
    double min_s = 0.3;              ///< shortest plausible interval, seconds
    double max_s = 2.0;              ///< longest plausible interval, seconds
    bool deviation_filter = true;    ///< flag intervals far from their local median
    bool median = false;             ///< --median: the median filter instead of the artefact detector
    bool detector = false;           ///< --detector: the artefact detector (the default local filter)
    int window = 41;                 ///< median filter: beats in the centred window, the beat included
    bool window_given = false;       ///< -w was given
    double deviation_pct = 20.0;     ///< largest deviation from the median, percent of it
    bool replace = false;            ///< replace flagged intervals instead of deleting them
    bool summary = false;            ///< one tab-separated summary line on standard output
    bool wfdb = false;               ///< the input is a beat annotation file (RECORD.ANNOTATOR)
    bool all_beats = false;          ///< with wfdb: every beat-to-beat interval, not normal-to-normal

    /// The library's settings of this run: its defaults but for what the
    /// options change (the local filter the library's unless --median).
    CleanSettings cleaning() const;
};

enum class ParseOutcome { run, help, version, error };

/// Parses argv into `settings` (which must hold the defaults). Options and the
/// one input name may come in any order; "--" ends the options; a value may be
/// given as the next word or, for long options, after '='. Numbers use the
/// input's decimal syntax and must be whole. On `error`, `message` says why.
ParseOutcome parse_clean_options(int argc, const char* const* argv, CommandLine& settings,
                                 std::string& message);

/// The help text (standard output for --help).
std::string help_text();

/// The one-line usage hint printed after a usage error.
std::string usage_hint();

}  // namespace nongauss::clean
