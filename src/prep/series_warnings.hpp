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
#include "nongauss/table_shape.hpp"

namespace nongauss {

/// Where reading stopped before the end of a file: at `row` (1-based: the
/// first value not read), at the text `text` (the word there, raw), with
/// `unread_bytes` of `total_bytes` not read (both -1 when the size of the
/// input is not known, as for a pipe).
struct ReadStop {
    long row = 0;
    std::string text;
    bool long_word = false;  ///< the word is longer than the reader takes (max_token_bytes)
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

/// The storage of the series could not grow at `row`: only the rows before it
/// are analysed.
std::string memory_warning(long row);

/// What fstat tells of an open file, to see whether it changed while it was
/// read (regular files only).
struct FileStamp {
    bool regular = false;
    long long size = -1;
    long long mtime_s = 0;
    long mtime_ns = 0;
};

/// The file was cut short, appended to or rewritten while it was read: its
/// size or modification time differ between `opened` and `left`, or reading
/// that went to the end of the file (`read_to_end`) read another number of
/// bytes than it held when opened (unless it said 0 bytes at both ends, as a
/// pseudo-file under /proc does). Empty when neither is a regular file or
/// nothing changed.
std::optional<std::string> changed_while_read_warning(const FileStamp& opened, const FileStamp& left,
                                                      long long bytes_read, bool read_to_end);

/// A table of times and intervals (white-space separated), read as one series.
std::string table_warning(const TableShape& shape);

/// The same, as the line shown after an error (it begins with "Hint: ").
std::string table_hint(const TableShape& shape);

/// The nongauss-clean options that read a table of this shape (its decimal
/// comma, the column of its intervals), as "nongauss-clean --column 2
/// --decimal-comma"; empty when the shape names none.
std::string table_options(const TableShape& shape);

/// True for the text of unit_warning.
bool is_unit_warning(const std::string& warning);

/// The plausible range of an RR interval, seconds.
inline constexpr double plausible_min_s = 0.2;
inline constexpr double plausible_max_s = 3.0;

/// What range_warning counts, gathered one interval (in seconds) at a time
/// in row order.
struct RangeTally {
    std::size_t rows = 0;   ///< intervals added
    std::size_t count = 0;  ///< of them outside the plausible range
    double outside_s = 0.0;  ///< their sum, in row order
    double total_s = 0.0;    ///< the sum of all, in row order
    std::size_t longest_row = 0;  ///< 1-based row of the first longest above the range, 0: none
    std::size_t shortest_row = 0;  ///< the same for the shortest below the range
    double longest_s = 0.0;
    double shortest_s = 0.0;

    void add(double s) {
        ++rows;
        total_s += s;
        if (s >= plausible_min_s && s <= plausible_max_s) return;
        ++count;
        outside_s += s;
        if (s > plausible_max_s && (longest_row == 0 || s > longest_s)) {
            longest_row = rows;
            longest_s = s;
        }
        if (s < plausible_min_s && (shortest_row == 0 || s < shortest_s)) {
            shortest_row = rows;
            shortest_s = s;
        }
    }
};

/// Intervals (in their unit, divided by `unit_divisor` into seconds) outside
/// the plausible range: how many, the share of the time they cover, the
/// longest (or, when none is too long, the shortest) and its row. Empty when
/// every interval is plausible.
std::optional<std::string> range_warning(const std::vector<double>& intervals, double unit_divisor);

/// The same from the tally of the intervals in seconds.
std::optional<std::string> range_warning(const RangeTally& tally);

/// The unit decided by the first interval disagrees with the rest: the median
/// of the other intervals would decide the other way. Empty when they agree
/// or there is no other interval. The intervals are positive and finite (as
/// a series holds them).
std::optional<std::string> unit_warning(const std::vector<double>& intervals, Unit decided);

/// The same when the number of the other intervals (all but the first) that
/// are at most 100 is known: the median decides milliseconds exactly when at
/// most half of them (rounded down) are.
std::optional<std::string> unit_warning(const std::vector<double>& intervals, Unit decided,
                                        std::size_t others_at_most_100);

}  // namespace nongauss
