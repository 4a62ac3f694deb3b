#include "driver/reader.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "driver/decimal.hpp"
#include "driver/options.hpp"
#include "numeric/arrays.hpp"

namespace nongauss {

double* rri = nullptr;

namespace {

constexpr int growth_step = 10000;
constexpr std::size_t chunk_size = 1 << 16;

bool may_continue_number(char c) {
    return is_digit(c) || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-';
}

// Reads numbers from a stream in chunks. A number is converted once all the
// characters that may belong to it are in the buffer.
class NumberScanner {
public:
    explicit NumberScanner(std::FILE* file) : file_(file) {}

    // Next number, or false at the end of the file, on a read error, or at
    // text that does not begin a number.
    bool next(double& value) {
        for (;;) {  // skip white space
            if (pos_ == buf_.size() && !fill()) return false;
            if (!is_space(buf_[pos_])) break;
            ++pos_;
        }
        std::size_t end = pos_;
        for (;;) {  // gather every character that may still belong to the number
            if (end == buf_.size()) {
                const std::size_t offset = end - pos_;
                if (!fill()) break;
                end = pos_ + offset;
                continue;
            }
            if (!may_continue_number(buf_[end])) break;
            ++end;
        }
        const std::string_view text(buf_.data() + pos_, end - pos_);
        const std::size_t len = decimal_prefix(text, value);
        if (len == 0) return false;
        pos_ += len;
        return true;
    }

private:
    // Appends the next chunk, discarding what has been consumed. False when
    // nothing more can be read.
    bool fill() {
        if (at_end_) return false;
        buf_.erase(0, pos_);
        pos_ = 0;
        const std::size_t old = buf_.size();
        buf_.resize(old + chunk_size);
        const std::size_t got = std::fread(buf_.data() + old, 1, chunk_size, file_);
        buf_.resize(old + got);
        if (got < chunk_size) at_end_ = true;
        return got > 0;
    }

    std::FILE* file_;
    std::string buf_;
    std::size_t pos_ = 0;
    bool at_end_ = false;
};

}  // namespace

int read_series(const char* name) {
    std::FILE* file = std::fopen(name, "r");
    if (file == nullptr) {
        // A file that is there but cannot be opened says why.
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR)
            std::fprintf(stderr, "File %s not found!\n", name);
        else
            std::fprintf(stderr, "Cannot open input file %s: %s\n", name, std::strerror(error));
        return 0;
    }
    std::fprintf(stderr, "------------------------------------------------\n");
    std::fprintf(stderr, "Input file: %s.\n", name);
    std::fprintf(stderr, "------------------------------------------------\n");

    rri = vector(1, growth_step);
    int count = 0;
    long long series_capacity = 0;
    NumberScanner scanner(file);
    double value = 0.0;
    while (scanner.next(value)) {
        ++count;
        if (count >= series_capacity) {
            series_capacity += growth_step;
            double* grown = resize_vector(rri, series_capacity);
            if (grown == nullptr) {
                std::fprintf(stderr, "%s: insufficient memory, truncating input at row %d\n",
                             program_name().c_str(), count);
                --count;
                break;
            }
            rri = grown;
        }
        rri[count] = value;
    }
    // A read error is not the end of the series: the values read so far are
    // only a part of it, and no result may be reported for them.
    const bool read_error = std::ferror(file) != 0;
    std::fclose(file);
    if (read_error) {
        std::fprintf(stderr, "Error while reading input file %s!\n", name);
        return 0;
    }

    if (count < 1) {
        std::fprintf(stderr, "No data was read!\n");
        return 0;
    }
    return count;
}

}  // namespace nongauss
