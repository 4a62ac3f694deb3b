#pragma once

// The RR-interval reader: the numbers of a text file, as the tool reads them.

#include <cstdio>
#include <string>
#include <vector>

namespace nongauss {

/// What read_numbers found.
struct NumbersRead {
    std::vector<double> values;  ///< in file order
    bool read_error = false;     ///< reading failed (a directory, an I/O error)
    /// The storage could not grow: `values` holds the first truncated_row - 1
    /// numbers ("%s: insufficient memory, truncating input at row %d").
    bool truncated = false;
    int truncated_row = 0;
    /// Reading stopped at text that does not begin a number, before the end
    /// of the file: its first bytes (at most stop_text_limit of them, up to
    /// the next white space) and its offset in the file.
    bool stopped_at_text = false;
    std::string stop_text;
    long long stop_offset = 0;
    /// Reading stopped at a word longer than max_token_bytes (a number or
    /// not): stopped_at_text is set too, and stop_text holds its first bytes.
    bool stopped_at_long_word = false;
    /// Bytes of the file that were read, in all (when reading went to the end
    /// of the file: its length as read).
    long long bytes_read = 0;
    /// The first bytes of the file (at most head_limit), and whether they are
    /// the whole file.
    std::string head;
    bool head_complete = false;
};

/// The longest word the reader takes: a longer one (a number of a million
/// digits, a megabyte of binary junk) ends reading as text does, so that the
/// memory one word takes stays bounded.
inline constexpr std::size_t max_token_bytes = std::size_t{1} << 20;

/// How much of the start of a file NumbersRead::head keeps.
inline constexpr std::size_t head_limit = 8192;

/// How much of the text that stopped reading is kept.
inline constexpr std::size_t stop_text_limit = 24;

/// Reads white-space separated decimal numbers (nongauss/number_text.hpp) from `file`
/// until the end of the file, a read error, or the first text that does not
/// begin a number (or a word longer than max_token_bytes). The storage grows
/// by 10000 values at a time and never beyond a block of max_block_bytes; a
/// series that would need more is cut short as above.
NumbersRead read_numbers(std::FILE* file);

}  // namespace nongauss
