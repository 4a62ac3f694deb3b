#pragma once

// The layout of the first lines of a text, as far as a table of numbers goes:
// how many fields its lines hold, what separates them, whether they carry a
// decimal comma, and whether one column is the time of each beat and another
// its interval. The readers use it to say which option reads a file that is
// not a plain series (a time-and-interval export, a column that is not there,
// a decimal comma).

#include <string>
#include <string_view>

namespace nongauss {

struct TableShape {
    int lines = 0;       ///< data lines looked at (the first field a number), after any header lines
    int first_line = 0;  ///< 1-based line number of the first of them; 0: none
    int fields = 0;      ///< fields on every one of them; 0 when they differ (or none)
    char delimiter = 0;  ///< '\t', ';', ',' or ' ' (runs of blanks), found on the first data line
    /// Every field of every data line is a number, in the decimal form given
    /// to survey_table or, when `decimal_comma` says so, with a comma.
    bool numeric = false;
    /// The numbers have a decimal comma ("0,812") where a point was expected;
    /// only when survey_table was not told to expect one.
    bool decimal_comma = false;
    /// A column (1-based) that rises on every line by the values of
    /// `interval_column`, in seconds or milliseconds either way, as the time
    /// of each beat does; both 0 when there is none.
    int time_column = 0;
    int interval_column = 0;

    bool time_and_interval() const { return time_column != 0; }
};

/// Lines looked at, at most.
inline constexpr int table_shape_lines = 32;

/// Surveys the first lines of `head`, the start of a file (when `complete` is
/// false the text after its last line end is ignored, as it may be cut).
/// Lines that do not begin with a number are skipped as header lines before
/// the first data line and end the survey after it. A time column needs at
/// least three data lines and every step to match the interval beside it
/// within 2 %.
TableShape survey_table(std::string_view head, bool complete, bool decimal_comma = false);

/// "tabs", "semicolons", "commas" or "blanks".
const char* delimiter_name(char delimiter);

/// One sentence on a time-and-interval table: "every line holds N numbers,
/// and column T rises by the values of column I, as the time of each beat
/// does".
std::string time_and_interval_text(const TableShape& shape);

}  // namespace nongauss
