#pragma once

// The cleaner: reads a file of RR intervals with the text of each number,
// flags implausible intervals (a range filter, then the artefact detector
// or a median filter), deletes or replaces them, and gives the cleaned
// series as text and as numbers with the counts of its report. One call,
// clean_file(), does all of it; clean_rr() and clean_values() start from
// numbers already read.
//
// Reading. The file is read as a stream with bounded memory: what is kept is
// the numbers and their texts, never the raw file. A UTF-8 byte-order mark at
// the start is skipped. Header lines at the start (lines of text that do not
// begin a number, at most `max_header_lines`) are skipped and counted.
//
// Without a column, the numbers are white-space separated, any number per
// line, up to the end of the file or the first text that does not begin a
// number ("800ms" gives 800, then stops). A first data line whose fields are
// separated by commas, semicolons or tabs is a table: an error that asks for
// a column.
//
// With a column (a 1-based number, or a name in a header line), every line is
// a row: its fields are separated by the delimiter detected on the first data
// line (or on the header line that holds the name): a tab, else a semicolon,
// else a comma (never with a decimal comma), else runs of blanks. Fields may
// be quoted with double quotes. The column's field of each row must be one
// whole number; reading stops at the first row where it is not.
//
// With a decimal comma, a comma is the decimal mark and a point ends a number.
//
// Filters. Range: an interval outside [min_s, max_s] seconds is an artefact
// (a gap of lost signal, a spurious or missed detection). Then, among the
// intervals that passed the range filter, the local filter: by default the
// artefact detector of nongauss/artefacts.hpp (ectopic, missed, extra, long
// and short beats, and runs of them), with `fraction` as the floor of its
// thresholds (no change smaller than that fraction of the local median is an
// artefact); or the median filter: an interval that differs
// from the median of its neighbours by more than `fraction` of that median is
// an ectopic beat or an artefact. The neighbours are the window - 1 nearest
// intervals in a centred window; near either end of the series the window
// slides inwards so that it keeps its size, and a series shorter than the
// window uses all its other intervals. The median is taken over the
// neighbours' values as read, flagged or not: it ignores any minority of
// outliers, so no iteration is needed. Intervals that failed the range
// filter never enter a window.
//
// Replacement works on each stretch of consecutive flagged intervals. The
// stretch's time T (the sum of its intervals) is filled with n intervals,
// n = T / m rounded to the nearest integer and at least 1, where m is the mean
// of the nearest kept intervals before and after the stretch (the one that
// exists, at either end of the series). Their lengths run linearly from the
// kept interval before to the one after and are scaled to sum to T; the
// boundaries between them are rounded to the file's resolution
// (resolution_decimals), so that the written intervals add up to T exactly in
// the file's decimals and the time axis after the stretch is unchanged. A
// stretch whose time is not positive (or not finite) has nothing to fill and
// is deleted. Kept intervals are written exactly as their text stood.

#include <cstddef>
#include <string>
#include <string_view>
#include <array>
#include <optional>
#include <span>
#include <vector>

#include "nongauss/annotations.hpp"
#include "nongauss/artefacts.hpp"
#include "nongauss/interval_flags.hpp"
#include "nongauss/series.hpp"

namespace nongauss::clean {

constexpr int max_header_lines = 100;
constexpr std::size_t max_line_bytes = 65536;   ///< header lines and rows of a table
constexpr std::size_t max_number_chars = 1000;  ///< the text of one number
constexpr std::size_t head_bytes = 8192;        ///< RRText::head, for the hints on a table's layout

struct ReadSettings {
    std::string column;          ///< empty: all numbers; digits: a column number; else a column name
    bool decimal_comma = false;  ///< ',' is the decimal mark
};

/// One number of the input: where its text stands in RRText::texts, and its value.
struct RRNumber {
    std::size_t offset = 0;
    std::size_t length = 0;
    double value = 0.0;  ///< in the unit of the file
};

struct RRText {
    std::string texts;              ///< the numbers' texts, concatenated (a decimal comma made a point)
    std::vector<RRNumber> numbers;  ///< the numbers, in file order
    int stop_line = 0;              ///< 1-based line of the text that ended reading; 0: end of file
    int header_lines = 0;           ///< header lines skipped
    std::string last_header;        ///< the last of them
    int column = 0;                 ///< the column read (1-based); 0: all numbers
    char delimiter = 0;             ///< column mode: '\t', ';', ',' or ' ' (runs of blanks)
    int first_line_numbers = 0;     ///< without a column: numbers on the first data line
    int first_data_line = 0;        ///< its line number
    std::string head;               ///< the first bytes of the input (at most head_bytes)
    bool head_complete = false;     ///< ... and they are the whole input

    std::string_view text(std::size_t i) const {
        return std::string_view(texts).substr(numbers[i].offset, numbers[i].length);
    }
};

enum class ReadOutcome { ok, cannot_open, read_error, bad_input };

/// Reads the file `name` as described above into `rr`. On `cannot_open` the
/// message is errno's text; on `bad_input` it says what is wrong and what to
/// do (a line or number too long, a table without a column, a column name
/// not found).
ReadOutcome read_rr_file(const std::string& name, const ReadSettings& settings, RRText& rr,
                         std::string& message);

/// The same on a text already in memory.
ReadOutcome read_rr_text(std::string_view content, const ReadSettings& settings, RRText& rr,
                         std::string& message);

/// Decimal places that represent every number of `rr` exactly (fraction digits
/// less the exponent), clamped to [0, 9]: the resolution of the file, used for
/// intervals made by interpolation.
int resolution_decimals(const RRText& rr);

/// The numbers `values` as the text of a file: one per line, each in its
/// shortest decimal form that reads back as the same double (all finite).
RRText rr_from_values(std::span<const double> values);

/// The filter that looks at each interval among its neighbours.
enum class LocalFilter {
    detector,  ///< the artefact detector of nongauss/artefacts.hpp (ectopic, missed, extra, long, short): the default
    median,    ///< the median filter: too far from the median of its window
};

/// The filters' settings.
struct FilterSettings {
    bool range = true;
    double min_s = 0.3;       ///< shortest plausible interval, seconds
    double max_s = 2.0;       ///< longest plausible interval, seconds
    bool deviation = true;    ///< run the local filter
    LocalFilter local = LocalFilter::detector;
    int window = 41;          ///< median: beats in the centred window, the beat included: odd, at least 3
    /// median: largest deviation as a fraction of the median; detector: the
    /// floor of its thresholds, a fraction of the local median
    double fraction = 0.2;
    /// detector: its settings, but for the floor of its thresholds (`fraction`)
    ArtefactSettings detector;
};

/// Settings of one cleaning run, with their defaults.
struct CleanSettings {
    ReadSettings read;           ///< how the file is read (clean_file only)
    std::optional<Unit> unit;    ///< the input's unit; none: the unit rule on the first number
    FilterSettings filter;
    bool replace = false;        ///< replace flagged intervals instead of deleting them
};

/// How a cleaning run ended.
enum class CleanOutcome {
    cleaned,      ///< the series was cleaned; at least one interval kept
    not_found,    ///< the input does not exist (ENOENT, ENOTDIR)
    cannot_open,  ///< the input exists but cannot be opened
    read_error,   ///< reading the input failed
    bad_input,    ///< the input is not a series of intervals as asked (see message)
    no_data,      ///< no number was read
    none_kept,    ///< every interval was flagged (the counts are complete; nothing to write)
};

/// What was written.
struct OutputCounts {
    std::size_t kept = 0;          ///< intervals written as read
    std::size_t interpolated = 0;  ///< intervals written by replacement
    std::size_t stretches = 0;     ///< stretches of flagged intervals replaced
    std::size_t unfilled = 0;      ///< flagged intervals deleted in replace mode (no time to fill)
    std::size_t written() const { return kept + interpolated; }
};

/// One cleaning run: the input as read, a flag per interval, the counts of
/// the report and the cleaned series.
struct Cleaned {
    CleanOutcome outcome = CleanOutcome::cleaned;
    /// Unless cleaned: the line the cleaner prints, without its newline:
    /// "File F not found!", "Cannot open input file F: WHY", "Error while
    /// reading input file F!", "F: WHY" (bad_input), "No data was read!",
    /// "No interval was kept!".
    std::string message;
    RRText input;                   ///< the numbers as read, with their texts
    double unit = 1.0;              ///< what the input's numbers are divided by for seconds: 1000 or 1
    bool unit_given = false;        ///< the unit came from the settings, not the unit rule
    std::vector<double> seconds;    ///< the intervals read, in seconds
    /// One per interval read: kept, out_of_range, and deviation (the median
    /// filter) or the detector's kind (ectopic, missed, extra,
    /// long_interval, short_interval).
    std::vector<IntervalFlag> flags;
    std::size_t by_range = 0;       ///< flagged by the range filter
    std::size_t by_deviation = 0;   ///< flagged by the local filter (median or detector)
    /// Intervals by flag, indexed by the flag's value.
    std::array<std::size_t, std::size(all_interval_flags)> by_flag{};
    double total_s = 0.0;           ///< sum of all intervals read, seconds
    double flagged_s = 0.0;         ///< sum of the flagged intervals, seconds
    OutputCounts counts;            ///< what the cleaned series holds
    /// The cleaned series, one interval per line with LF line ends, in the
    /// input's unit (empty unless cleaned).
    std::string text;
    /// The same intervals as the numbers `text` reads back as.
    std::vector<double> intervals;

    std::size_t read() const { return flags.size(); }
    std::size_t flagged() const { return by_range + by_deviation; }
    /// Flagged beats as a percentage of the beats read.
    double flagged_pct() const;
    /// Flagged time as a percentage of the recording's time (0 when that is not positive).
    double time_pct() const;
};

/// Reads the file `path` as `settings.read` asks and cleans it. Never throws
/// for the input (the outcome says); std::bad_alloc may escape.
Cleaned clean_file(const std::string& path, const CleanSettings& settings);

/// Cleans numbers already read (`settings.read` unused); an empty `rr` is
/// no_data.
Cleaned clean_rr(RRText rr, const CleanSettings& settings);

/// Cleans the intervals that an annotation file's `selection` kept, in
/// seconds (the unit of `settings` unused), as a file holding them in their
/// shortest exact form: kept intervals round-trip, exact to the tick.
/// Intervals the selection left out are gaps, never replaced.
Cleaned clean_selection(const IntervalSelection& selection, const CleanSettings& settings);

/// One flag per beat-to-beat interval of `selection`: the selection's
/// reason where it left the interval out, else the cleaner's flag of it
/// (`cleaned` made by clean_selection from that selection).
std::vector<IntervalFlag> combined_flags(const IntervalSelection& selection, const Cleaned& cleaned);

/// The time a recording's flags leave out.
struct FlaggedTime {
    double total_s = 0.0;    ///< the sum of all intervals, seconds
    double flagged_s = 0.0;  ///< the sum of the flagged ones (any flag but kept)
    double longest_s = 0.0;  ///< the longest stretch of consecutive flagged intervals, seconds
    /// Flagged seconds per hour of the recording (0 when its time is not positive).
    double per_hour_s() const { return total_s > 0.0 ? flagged_s / (total_s / 3600.0) : 0.0; }
    /// Flagged time, percent of the recording's time (0 when that is not positive).
    double pct() const { return total_s > 0.0 ? 100.0 * flagged_s / total_s : 0.0; }
};

/// Sums the time of `seconds` and of those flagged (one flag each).
FlaggedTime flagged_time(std::span<const double> seconds, std::span<const IntervalFlag> flags);

/// Share of a recording's time, percent, above which what is left of it is
/// too little or too broken up to trust the lambda of the recording.
constexpr double untrusted_time_pct = 10.0;

/// When more than untrusted_time_pct of the time is flagged, the warning
/// that says so (no "Warning: " prefix, no newline): "N % of the recording's
/// time is flagged (over 10 %): lambda of this recording is not to be
/// trusted"; else empty.
std::string untrusted_warning(const FlaggedTime& time);

/// Cleans `values` (finite numbers) as a file holding them, one per line in
/// their shortest exact form (rr_from_values): kept intervals unchanged,
/// replacements at that text's resolution.
Cleaned clean_values(std::span<const double> values, const CleanSettings& settings);

}  // namespace nongauss::clean
