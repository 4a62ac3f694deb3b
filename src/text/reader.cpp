#include "nongauss/number_reader.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include <algorithm>
#include <memory>
#include <new>
#include <stdexcept>

#include "nongauss/error.hpp"
#include "nongauss/series.hpp"
#include "numeric/arrays.hpp"
#include "prep/series_warnings.hpp"
#include "nongauss/number_text.hpp"
#include "nongauss/table_shape.hpp"

namespace nongauss {

namespace {

constexpr int growth_step = 10000;
constexpr std::size_t chunk_size = std::size_t{1} << 17;

// Reads numbers from a stream in chunks. The numbers are converted where they
// lie in the buffer: the part of it that is converted ends after a byte that
// no number continues into (or at the end of the file), so a number is never
// cut at the end of a chunk and its conversion sees the same bytes it would
// see in the whole file.
class NumberScanner {
public:
    explicit NumberScanner(std::FILE* file) : file_(file) {}

    // Next number, or false at the end of the file, on a read error, or at
    // text that does not begin a number.
    bool next(double& value) {
        for (;;) {  // skip white space
            while (pos_ < ready_ && is_space(buf_[pos_])) ++pos_;
            if (pos_ < ready_) break;
            if (!refill()) return false;
        }
        const std::size_t len = decimal_prefix(std::string_view(buf_.get() + pos_, ready_ - pos_), value);
        pos_ += len;
        return len != 0;
    }

    // After next() gave false: true when it stopped at text rather than at
    // the end of the file or a read error.
    bool at_text() const { return pos_ < len_; }

    // After next() gave false: it stopped at a word longer than max_token_bytes.
    bool at_long_word() const { return long_word_; }

    // Bytes read from the file so far.
    long long bytes_read() const { return discarded_ + static_cast<long long>(len_); }

    // The first bytes of the file (at most head_limit), and whether they are all of it.
    const std::string& head() const { return head_; }
    bool head_complete() const { return at_end_ && discarded_ == 0 && len_ == head_.size(); }

    // The text at the stop, up to white space, at most `limit` bytes.
    std::string text_here(std::size_t limit) {
        while (len_ - pos_ < limit && read_more()) {
        }
        std::size_t end = pos_;
        while (end < len_ && end - pos_ < limit && !is_space(buf_[end])) ++end;
        return std::string(buf_.get() + pos_, end - pos_);
    }

    // Bytes of the file before the current position.
    long long offset() const { return discarded_ + static_cast<long long>(pos_); }

private:
    // Reads more of the file after what is buffered, discarding what has been
    // consumed (and growing the buffer when nothing has been). False when
    // nothing more can be read.
    bool read_more() {
        if (at_end_) return false;
        if (pos_ > 0) {
            std::memmove(buf_.get(), buf_.get() + pos_, len_ - pos_);
            discarded_ += static_cast<long long>(pos_);
            len_ -= pos_;
            ready_ = ready_ > pos_ ? ready_ - pos_ : 0;
            pos_ = 0;
        }
        if (len_ == capacity_) {
            const std::size_t grown = capacity_ == 0 ? chunk_size : 2 * capacity_;
            std::unique_ptr<char[]> bigger(new char[grown]);
            if (len_ > 0) std::memcpy(bigger.get(), buf_.get(), len_);
            buf_ = std::move(bigger);
            capacity_ = grown;
        }
        const std::size_t want = capacity_ - len_;
        const std::size_t got = std::fread(buf_.get() + len_, 1, want, file_);
        len_ += got;
        if (got < want) at_end_ = true;
        if (discarded_ == 0 && head_.size() < head_limit)
            head_.assign(buf_.get(), std::min(len_, head_limit));
        return got > 0;
    }

    // Extends the part to convert past pos_: reads until the buffer holds a
    // byte that ends any number, or the end of the file. False when nothing
    // is left after pos_.
    bool refill() {
        for (;;) {
            if (at_end_) {
                ready_ = len_;
                return pos_ < ready_;
            }
            std::size_t end = len_;
            while (end > ready_ && may_continue_number(buf_[end - 1])) --end;
            if (end > pos_ && end > ready_) {
                ready_ = end;
                return true;
            }
            // Everything after pos_ is one word that goes on: beyond the
            // limit, it ends reading instead of taking ever more memory.
            if (len_ - pos_ >= max_token_bytes) {
                long_word_ = true;
                return false;
            }
            read_more();  // more bytes, a larger buffer, or the end of the file
        }
    }

    std::FILE* file_;
    std::unique_ptr<char[]> buf_;
    std::size_t capacity_ = 0;
    std::size_t len_ = 0;    // bytes buffered
    std::size_t pos_ = 0;    // next byte to read
    std::size_t ready_ = 0;  // end of the part whose numbers can be converted
    long long discarded_ = 0;
    bool at_end_ = false;
    bool long_word_ = false;
    std::string head_;
};

// Size of the file behind `file` when it is a regular file, otherwise -1.
long long regular_file_size(std::FILE* file) {
    const int fd = fileno(file);
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    return static_cast<long long>(st.st_size);
}

}  // namespace

NumbersRead read_numbers(std::FILE* file) {
    NumbersRead read;
    std::vector<double> values;  // moved into `read` at the end; a local stays in registers
    // The storage grows in steps; a step that would take a block beyond the
    // allocators' limit (or that the heap refuses) cuts the series short.
    constexpr long long max_values = static_cast<long long>(max_block_bytes / sizeof(double));
    const long long size = regular_file_size(file);
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
            if (grown && values.capacity() < static_cast<std::size_t>(capacity)) {
                // Past the first step, room for as many values as the whole of a
                // regular file holds at the density seen so far (and a sixteenth),
                // so that the storage is not copied again and again; then at
                // least twice the room there is; then just the step.
                const std::size_t step = static_cast<std::size_t>(capacity);
                const std::size_t twice = std::max(step, 2 * values.capacity());
                std::size_t estimate = 0;
                if (count > 1 && size > 0 && scanner.offset() > 0) {
                    const double e = static_cast<double>(size) / static_cast<double>(scanner.offset()) *
                                     static_cast<double>(count) * (17.0 / 16.0);
                    if (e > static_cast<double>(twice) && e < static_cast<double>(max_values))
                        estimate = static_cast<std::size_t>(e);
                    // Asked first without an exception: a refusal would leave the
                    // exception's small block between the blocks the storage
                    // gives back, which could then no longer be joined.
                    if (estimate != 0) {
                        void* probe = std::malloc(estimate * sizeof(double));
                        if (probe == nullptr) estimate = 0;
                        std::free(probe);
                    }
                }
                grown = false;
                for (const std::size_t wanted : {estimate, twice, step}) {
                    if (wanted < step) continue;
                    try {
                        values.reserve(wanted);
                        grown = true;
                        break;
                    } catch (const std::bad_alloc&) {
                    } catch (const std::length_error&) {
                    }
                }
            }
            if (!grown) {
                read.truncated = true;
                read.truncated_row = static_cast<int>(count);
                break;
            }
        }
        values.push_back(value);
    }
    read.values = std::move(values);
    read.read_error = std::ferror(file) != 0;
    if (!read.truncated && !read.read_error && scanner.at_text()) {
        read.stopped_at_text = true;
        read.stopped_at_long_word = scanner.at_long_word();
        read.stop_text = scanner.text_here(stop_text_limit);
        read.stop_offset = scanner.offset();
    }
    read.bytes_read = scanner.bytes_read();
    read.head = scanner.head();
    read.head_complete = scanner.head_complete();
    return read;
}

Series Series::read_file(const std::string& path, const ReadOptions& options) {
    DiscardTranscript discard;
    return read_file(path, discard, options);
}

namespace {

FileStamp stamp_of(std::FILE* file) {
    FileStamp stamp;
    struct stat st {};
    if (fstat(fileno(file), &st) != 0 || !S_ISREG(st.st_mode)) return stamp;
    stamp.regular = true;
    stamp.size = static_cast<long long>(st.st_size);
    stamp.mtime_s = static_cast<long long>(st.st_mtim.tv_sec);
    stamp.mtime_ns = static_cast<long>(st.st_mtim.tv_nsec);
    return stamp;
}

}  // namespace

Series Series::read_file(const std::string& path, Transcript& transcript, const ReadOptions& options) {
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr) {
        // A file that is there but cannot be opened says why.
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR) throw Error(ErrorKind::input, "File " + path + " not found!");
        throw Error(ErrorKind::input, "Cannot open input file " + path + ": " + std::strerror(error));
    }
    NumbersRead read;
    // The file as opened and as left: a file that another program cuts short
    // or appends to while it is read gives a series of neither state.
    const FileStamp opened = stamp_of(file);
    FileStamp left;
    try {
        transcript.write("------------------------------------------------\n"
                         "Input file: " + path + ".\n"
                         "------------------------------------------------\n");
        read = read_numbers(file);
        left = stamp_of(file);
    } catch (...) {
        std::fclose(file);
        throw;
    }
    std::fclose(file);
    std::vector<std::string> warnings;
    if (read.truncated) {
        transcript.write(options.program_name + ": insufficient memory, truncating input at row " +
                         std::to_string(read.truncated_row) + "\n");
        warnings.push_back(memory_warning(read.truncated_row));
    }
    // A read error is not the end of the series: the values read so far are
    // only a part of it, and no result may be reported for them.
    if (read.read_error) throw Error(ErrorKind::input, "Error while reading input file " + path + "!");
    const bool read_to_end = !read.truncated && !read.stopped_at_text;
    if (auto changed = changed_while_read_warning(opened, left, read.bytes_read, read_to_end))
        warnings.push_back(*changed);

    // Times and intervals side by side are read as one series, row by row:
    // it runs, and its numbers mean nothing. What reads such a file is named.
    const TableShape shape = survey_table(read.head, read.head_complete);
    const bool table =
        shape.time_and_interval() && (shape.delimiter == '\t' || shape.delimiter == ' ');
    std::string hint;
    if (read.stopped_at_text) {
        ReadStop stop;
        stop.row = static_cast<long>(read.values.size()) + 1;
        stop.text = read.stop_text;
        stop.long_word = read.stopped_at_long_word;
        if (opened.size >= read.stop_offset) {
            stop.total_bytes = opened.size;
            stop.unread_bytes = opened.size - read.stop_offset;
        }
        if (stop.row > 1) warnings.push_back(read_stop_warning(stop));
        if (stop.row <= 2) {
            hint = read_stop_hint(stop);
            // A table in another delimiter or with a decimal comma: its options.
            const std::string options = table_options(shape);
            if (!options.empty()) hint += "; for this file: " + options;
        }
    }
    Series series;
    try {
        series = from_intervals(std::move(read.values), options.unit);
    } catch (const Error& e) {
        if (table) throw Error(e.kind(), e.message(), table_hint(shape));
        if (hint.empty()) throw;
        throw Error(e.kind(), e.message(), hint);
    }
    series.source_ = path;
    series.hint_ = hint;
    if (table) {
        warnings.push_back(table_warning(shape));
        // The unit's disagreement is the table's doing, and its advice (remove
        // the first line) would not help.
        std::erase_if(series.warnings_, is_unit_warning);
    }
    series.reading_warnings_ = warnings.size();
    for (const std::string& w : series.warnings_) warnings.push_back(w);
    for (const std::string& w : warnings) transcript.write("Warning: " + w + "\n");
    series.warnings_ = std::move(warnings);
    return series;
}

}  // namespace nongauss
