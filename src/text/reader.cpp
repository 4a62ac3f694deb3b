#include "text/reader.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include <algorithm>
#include <new>
#include <stdexcept>

#include "nongauss/error.hpp"
#include "nongauss/series.hpp"
#include "numeric/arrays.hpp"
#include "prep/series_warnings.hpp"
#include "text/decimal.hpp"

namespace nongauss {

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

    // After next() gave false: true when it stopped at text rather than at
    // the end of the file or a read error.
    bool at_text() const { return pos_ < buf_.size(); }

    // The text at the stop, up to white space, at most `limit` bytes of what
    // is buffered.
    std::string text_here(std::size_t limit) const {
        std::size_t end = pos_;
        while (end < buf_.size() && end - pos_ < limit && !is_space(buf_[end])) ++end;
        return buf_.substr(pos_, end - pos_);
    }

    // Bytes of the file before the current position.
    long long offset() const { return discarded_ + static_cast<long long>(pos_); }

private:
    // Appends the next chunk, discarding what has been consumed. False when
    // nothing more can be read.
    bool fill() {
        if (at_end_) return false;
        buf_.erase(0, pos_);
        discarded_ += static_cast<long long>(pos_);
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
    long long discarded_ = 0;
    bool at_end_ = false;
};

}  // namespace

NumbersRead read_numbers(std::FILE* file) {
    NumbersRead read;
    // The storage grows in steps; a step that would take a block beyond the
    // allocators' limit (or that the heap refuses) cuts the series short.
    constexpr long long max_values = static_cast<long long>(max_block_bytes / sizeof(double));
    long long count = 0;
    long long capacity = 0;
    NumberScanner scanner(file);
    double value = 0.0;
    while (scanner.next(value)) {
        ++count;
        if (count >= capacity) {
            // Room for values 1 .. capacity - 1 (the storage counts a spare
            // slot); the vector at least doubles, so reading stays linear.
            capacity += growth_step;
            bool grown = capacity <= max_values;
            if (grown && read.values.capacity() < static_cast<std::size_t>(capacity)) {
                try {
                    const std::size_t twice = 2 * read.values.capacity();
                    read.values.reserve(std::max(static_cast<std::size_t>(capacity), twice));
                } catch (const std::bad_alloc&) {
                    try {
                        read.values.reserve(static_cast<std::size_t>(capacity));
                    } catch (const std::bad_alloc&) {
                        grown = false;
                    }
                } catch (const std::length_error&) {
                    grown = false;
                }
            }
            if (!grown) {
                read.truncated = true;
                read.truncated_row = static_cast<int>(count);
                break;
            }
        }
        read.values.push_back(value);
    }
    read.read_error = std::ferror(file) != 0;
    if (!read.truncated && !read.read_error && scanner.at_text()) {
        read.stopped_at_text = true;
        read.stop_text = scanner.text_here(stop_text_limit);
        read.stop_offset = scanner.offset();
    }
    return read;
}

Series Series::read_file(const std::string& path, const ReadOptions& options) {
    DiscardTranscript discard;
    return read_file(path, discard, options);
}

Series Series::read_file(const std::string& path, Transcript& transcript, const ReadOptions& options) {
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr) {
        // A file that is there but cannot be opened says why.
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR) throw Error(ErrorKind::input, "File " + path + " not found!");
        throw Error(ErrorKind::input, "Cannot open input file " + path + ": " + std::strerror(error));
    }
    NumbersRead read;
    long long size = -1;  // known for a regular file only
    try {
        transcript.write("------------------------------------------------\n"
                         "Input file: " + path + ".\n"
                         "------------------------------------------------\n");
        struct stat st {};
        if (fstat(fileno(file), &st) == 0 && S_ISREG(st.st_mode)) size = static_cast<long long>(st.st_size);
        read = read_numbers(file);
    } catch (...) {
        std::fclose(file);
        throw;
    }
    std::fclose(file);
    std::vector<std::string> warnings;  // all but the one for want of memory, which has its line
    if (read.truncated)
        transcript.write(options.program_name + ": insufficient memory, truncating input at row " +
                         std::to_string(read.truncated_row) + "\n");
    // A read error is not the end of the series: the values read so far are
    // only a part of it, and no result may be reported for them.
    if (read.read_error) throw Error(ErrorKind::input, "Error while reading input file " + path + "!");

    std::string hint;
    if (read.stopped_at_text) {
        ReadStop stop;
        stop.row = static_cast<long>(read.values.size()) + 1;
        stop.text = read.stop_text;
        if (size >= read.stop_offset) {
            stop.total_bytes = size;
            stop.unread_bytes = size - read.stop_offset;
        }
        if (stop.row > 1) warnings.push_back(read_stop_warning(stop));
        if (stop.row <= 2) hint = read_stop_hint(stop);
    }
    Series series;
    try {
        series = from_intervals(std::move(read.values), options.unit);
    } catch (const Error& e) {
        if (hint.empty()) throw;
        throw Error(e.kind(), e.message(), hint);
    }
    series.source_ = path;
    series.hint_ = hint;
    for (const std::string& w : series.warnings_) warnings.push_back(w);
    for (const std::string& w : warnings) transcript.write("Warning: " + w + "\n");
    if (read.truncated)
        warnings.insert(warnings.begin(), "insufficient memory: reading stopped at row " +
                                              std::to_string(read.truncated_row) +
                                              ", and only the intervals before it are analysed");
    series.warnings_ = std::move(warnings);
    return series;
}

}  // namespace nongauss
