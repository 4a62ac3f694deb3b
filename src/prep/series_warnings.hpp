#pragma once

// Warnings about a series as read: findings that do not stop the analysis but
// make its numbers doubtful, each one line of text (without the "Warning: "
// prefix the tool puts before it) saying what was found and what to do.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "nongauss/series.hpp"

namespace nongauss {

/// Where reading stopped before the end of a file: at `row` (1-based: the
/// first value not read), at the text `text` (the word there, raw), with
/// `unread_bytes` of `total_bytes` not read (both -1 when the size of the
/// input is not known, as for a pipe).
struct ReadStop {
    long row = 0;
    std::string text;
    long long unread_bytes = -1;
    long long total_bytes = -1;
};

/// `text` shown safely on one line: at most `limit` bytes of it, printable
/// ASCII as it is (a backslash doubled, a double quote escaped), every other
/// byte as \xHH, and "..." when it was cut.
std::string printable_excerpt(std::string_view text, std::size_t limit = 20);

/// Reading stopped at text before the end of the file.
std::string read_stop_warning(const ReadStop& stop);

/// For a stop on row 1 or 2 (nothing, or one value, read): one line, shown
/// after the error that follows, naming the text and what to do about it.
std::string read_stop_hint(const ReadStop& stop);

/// The plausible range of an RR interval, seconds.
inline constexpr double plausible_min_s = 0.2;
inline constexpr double plausible_max_s = 3.0;

/// Intervals (in their unit, divided by `unit_divisor` into seconds) outside
/// the plausible range: how many, the share of the time they cover, the
/// longest (or, when none is too long, the shortest) and its row. Empty when
/// every interval is plausible.
std::optional<std::string> range_warning(const std::vector<double>& intervals, double unit_divisor);

/// The unit decided by the first interval disagrees with the rest: the median
/// of the other intervals would decide the other way. Empty when they agree
/// or there is no other interval.
std::optional<std::string> unit_warning(const std::vector<double>& intervals, Unit decided);

}  // namespace nongauss
