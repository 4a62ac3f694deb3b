#pragma once

// An RR-interval series: read from a text file exactly as the tool reads it,
// or built from memory; checked as the tool checks it; its unit decided.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "nongauss/transcript.hpp"

namespace nongauss {

/// The unit of the intervals.
enum class Unit { seconds, milliseconds };

/// The unit rule of the tool: milliseconds when the first interval exceeds
/// 100, otherwise seconds.
Unit unit_rule(double first_interval);

/// What an interval in `unit` is divided by to give seconds: 1000 for
/// milliseconds, 1 for seconds.
constexpr double unit_divisor(Unit unit) noexcept { return unit == Unit::milliseconds ? 1000.0 : 1.0; }

/// How a file is read.
struct ReadOptions {
    /// The unit; none: the unit rule.
    std::optional<Unit> unit;
    /// Prefixes the transcript line of a series cut short for want of memory
    /// ("%s: insufficient memory, truncating input at row %d\n").
    std::string program_name = "nongauss";
};

/// A series of at least one RR interval, every one positive and finite, whose
/// time axis (the intervals but the last, converted to seconds and summed in
/// order) strictly increases. Immutable once made; may be shared by several
/// analyses running at once.
class Series {
public:
    /// Reads `path` as the tool reads its input: white-space separated decimal
    /// numbers (optional sign, digits with an optional fraction, optional
    /// exponent; no nan/inf/hexadecimal) up to the end of the file or the
    /// first text that does not begin a number. Writes the input banner
    /// (three lines: a rule, "Input file: PATH.", a rule) to `transcript`
    /// once the file is open. Throws Error (kind input) with
    ///   "File %s not found!"                   the file cannot be opened;
    ///   "Error while reading input file %s!"   a read error (a directory, I/O);
    ///   "No data was read!"                    no number at the start;
    /// and then checks the intervals as from_intervals does. An error of a
    /// file whose first lines are a table of times and intervals, or whose
    /// reading stopped on row 1 or 2, carries a hint (Error::hint) naming
    /// what reads it. A word longer than 1 MiB ends reading as text that is
    /// not a number does.
    static Series read_file(const std::string& path, Transcript& transcript,
                            const ReadOptions& options = {});
    static Series read_file(const std::string& path, const ReadOptions& options = {});

    /// A series from intervals in memory (in their own unit; none: the unit
    /// rule). Throws Error (kind input) with the tool's messages:
    ///   "No data was read!"   no interval;
    ///   "Invalid RR interval at row %d: %g (intervals must be positive and finite)"
    ///   "Invalid RR interval at row %d: %g (does not advance the elapsed time of %g sec)"
    /// (rows count from 1; the first check runs over all intervals first).
    static Series from_intervals(std::vector<double> intervals, std::optional<Unit> unit = {});

    /// The intervals as read, in their own unit (0-based).
    const std::vector<double>& intervals() const noexcept { return intervals_; }
    /// The number of beats (intervals): the "number of input data" line.
    std::size_t n_beats() const noexcept { return intervals_.size(); }
    /// The unit decided (by the rule or as given).
    Unit unit() const noexcept { return unit_; }
    /// 1000 for milliseconds, 1 for seconds: the divisor into seconds.
    double unit_divisor() const noexcept { return nongauss::unit_divisor(unit_); }
    /// Seconds from the start of the first interval to the start of the last:
    /// (sum of all intervals in order - last) / unit_divisor(), the double the
    /// "total time" line formats.
    double duration_s() const noexcept { return duration_s_; }
    /// The file read, or empty for a series built from memory.
    const std::string& source() const noexcept { return source_; }
    /// Problems the user should know of (each without a "Warning: " prefix or
    /// a newline), in this order: the series cut short for want of memory, the
    /// file changed while it was read, reading stopped at text before the end
    /// of the file, a table of times and intervals (read_file); a unit decided by the
    /// first interval that the median of the others contradicts (unit rule
    /// only; left out for a table, which explains it); intervals outside
    /// 0.2-3.0 s. read_file also writes each to its transcript as
    /// "Warning: TEXT\n", after the banner (and after the line
    /// "%s: insufficient memory, truncating input at row %d\n").
    const std::vector<std::string>& warnings() const noexcept { return warnings_; }
    /// How many of warnings(), from the first, concern the file rather than
    /// the intervals (reading stopped early or for want of memory, the file
    /// changed while it was read, a table of times and intervals): the others
    /// from_intervals finds again in the same intervals. 0 for a series built
    /// from memory.
    std::size_t reading_warnings() const noexcept { return reading_warnings_; }

    /// A line to show after an error that ends the analysis of this series,
    /// or empty: set by read_file when reading stopped at text on row 1 or 2
    /// (see Error::hint).
    const std::string& hint() const noexcept { return hint_; }

private:
    Series() = default;
    std::vector<double> intervals_;
    Unit unit_ = Unit::seconds;
    double duration_s_ = 0.0;
    std::string source_;
    std::vector<std::string> warnings_;
    std::size_t reading_warnings_ = 0;
    std::string hint_;
};

}  // namespace nongauss
