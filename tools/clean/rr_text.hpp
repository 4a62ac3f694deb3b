#pragma once

// The input of nongauss-clean: the file's text and the numbers in it, each
// with the place where its text stands, so that kept intervals can be written
// back exactly as they were read.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace nongauss::clean {

/// One number of the input: where its text stands and its value.
struct RRNumber {
    std::size_t offset = 0;  ///< first character in RRText::content
    std::size_t length = 0;  ///< characters of the number's text
    double value = 0.0;      ///< its value, in the unit of the file
};

struct RRText {
    std::string content;              ///< the whole file
    std::vector<RRNumber> numbers;    ///< the numbers, in file order
    int stop_line = 0;                ///< 1-based line of text that ended reading; 0: end of file

    std::string_view text(std::size_t i) const {
        return std::string_view(content).substr(numbers[i].offset, numbers[i].length);
    }
};

/// Reads the whole file `name` into `content`. False when it cannot be opened;
/// a read error ends the content where it happened.
bool load_file(const std::string& name, std::string& content);

/// Finds the numbers of `rr.content`: white-space separated decimal numbers
/// (the syntax of decimal.hpp) up to the end of the text or the first text
/// that does not begin a number, whose line is then kept in `stop_line`. A
/// number's text ends where its syntax ends ("800ms" gives 800, then stops).
void scan_numbers(RRText& rr);

/// Decimal places that represent every number of `rr` exactly (fraction digits
/// less the exponent), clamped to [0, 9]: the resolution of the file, used for
/// intervals made by interpolation.
int resolution_decimals(const RRText& rr);

}  // namespace nongauss::clean
