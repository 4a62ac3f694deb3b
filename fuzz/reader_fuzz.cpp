// Fuzz target: the input reader on arbitrary bytes.
//
// The bytes become the input file. Besides memory safety, the values read must
// be those of a plain scan of the whole text (the reader works in chunks and
// must not split or merge numbers at chunk boundaries), never NaN, and at most
// one per byte. The survey of a table's layout stays in its bounds.
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "nongauss/number_text.hpp"
#include "nongauss/number_reader.hpp"
#include "nongauss/table_shape.hpp"
#include "nongauss/error.hpp"
#include "nongauss/series.hpp"
#include "scratch.hpp"

namespace {

std::string input_path;

// The series as a scan of the whole text at once gives it.
std::vector<double> plain_scan(std::string_view text) {
    std::vector<double> values;
    std::size_t pos = 0;
    for (;;) {
        while (pos < text.size() && nongauss::is_space(text[pos])) ++pos;
        const std::size_t len = nongauss::decimal_prefix_length(text.substr(pos));
        if (len == 0) return values;
        values.push_back(nongauss::decimal_value(text.substr(pos, len)));
        pos += len;
    }
}

bool same_double(double a, double b) { return a == b && std::signbit(a) == std::signbit(b); }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    input_path = nongauss::fuzzing::make_scratch_dir() + "/rec";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using nongauss::fuzzing::require;
    nongauss::fuzzing::write_file(input_path, data, size);
    std::FILE* file = std::fopen(input_path.c_str(), "r");
    require(file != nullptr, "input opens");
    const nongauss::NumbersRead read = nongauss::read_numbers(file);
    std::fclose(file);

    const std::vector<double> expect =
        plain_scan(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::size_t n = read.values.size();
    require(!read.read_error && !read.truncated, "a small file is read whole");
    require(n <= size, "count within the bytes");
    require(n == expect.size(), "count equals a plain scan");
    for (std::size_t k = 0; k < n; ++k) {
        require(!std::isnan(read.values[k]), "no NaN is ever read");
        require(same_double(read.values[k], expect[k]), "value equals a plain scan");
    }

    // The survey of a table's layout that the reader and the cleaner make of
    // the first lines: in bounds whatever the bytes.
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const bool complete : {false, true}) {
        for (const bool comma : {false, true}) {
            const nongauss::TableShape shape = nongauss::survey_table(text, complete, comma);
            require(shape.lines >= 0 && shape.lines <= nongauss::table_shape_lines, "lines looked at");
            require(shape.fields >= 0 && (shape.numeric || !shape.decimal_comma), "fields");
            require(shape.time_column >= 0 && shape.time_column <= shape.fields, "time column in bounds");
            require((shape.time_column == 0) == (shape.interval_column == 0), "a time has its interval");
            require(shape.interval_column <= shape.fields && (shape.time_column == 0 || shape.interval_column != shape.time_column),
                    "interval column in bounds");
        }
    }
    require(read.head == text.substr(0, nongauss::head_limit), "the head is the start of the file");

    // As a series: the same values, or one of the reader's input errors.
    try {
        const nongauss::Series series = nongauss::Series::read_file(input_path);
        require(series.intervals() == read.values, "the series holds the values read");
        require(series.duration_s() >= 0, "a series lasts");
    } catch (const nongauss::Error& e) {
        require(e.kind() == nongauss::ErrorKind::input, "reading fails only for its input");
    }
    return 0;
}
