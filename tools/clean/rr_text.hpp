#pragma once

// The input of nongauss-clean: the numbers of an RR file, each with its text,
// so that kept intervals can be written back as they were read.
//
// The file is read as a stream with bounded memory: what is kept is the
// numbers and their texts, never the raw file. A UTF-8 byte-order mark at the
// start is skipped. Header lines at the start (lines of text that do not
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

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

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

/// The same on a text already in memory (for tests).
ReadOutcome read_rr_text(std::string_view content, const ReadSettings& settings, RRText& rr,
                         std::string& message);

/// Decimal places that represent every number of `rr` exactly (fraction digits
/// less the exponent), clamped to [0, 9]: the resolution of the file, used for
/// intervals made by interpolation.
int resolution_decimals(const RRText& rr);

}  // namespace nongauss::clean
