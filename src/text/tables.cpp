#include "nongauss/tables.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "nongauss/thread_pool.hpp"
#include "nongauss/fixed_format.hpp"
#include "numeric/arrays.hpp"
#include "text/six_decimals.hpp"

namespace nongauss {

namespace {

// A TS row: "%lf\t%lf\t%lf\n".
constexpr std::size_t ts_row_max = 3 * (fixed_max_length(6) + 1);

char* format_ts_row(char* p, double time, double rri_ms, double cg) {
    p = format_six_decimals(p, time);
    *p++ = '\t';
    p = format_six_decimals(p, rri_ms);
    *p++ = '\t';
    p = format_six_decimals(p, cg);
    *p++ = '\n';
    return p;
}

// A PDF row: "%lf\t%8.7lf\t%12.11lf\n".
constexpr std::size_t pdf_row_max = fixed_max_length(6) + fixed_max_length(7, 8) + fixed_max_length(11, 12) + 3;

char* format_pdf_row(char* p, double centre, double p_exp, double p_model) {
    p = format_six_decimals(p, centre);
    *p++ = '\t';
    p = format_fixed(p, p_exp, 7, 8);
    *p++ = '\t';
    p = format_fixed(p, p_model, 11, 12);
    *p++ = '\n';
    return p;
}

// Longest row either file can have.
constexpr std::size_t row_limit = 1024;
static_assert(ts_row_max <= row_limit && pdf_row_max <= row_limit);

// Writes rows [first, last) made by make_rows(out, row, end, full) -> out's
// new end, which writes rows from `row` on (each at most row_limit
// characters) while row < end and out <= full, and leaves `row` at the first
// row it did not write (it writes at least one). The rows are formatted in
// chunks on the pool's threads, into buffers that hold a chunk of rows of
// ordinary length, and written in row order by the calling thread as each
// chunk is ready. A chunk of longer rows fills its buffer before its end;
// the rest of it is formatted when it is written.
template <typename MakeRows>
void write_rows(std::FILE* file, long first, long last, const MakeRows& make_rows, ThreadPool& pool) {
    constexpr long chunk_rows = 1L << 13;
    // Room for a chunk of rows up to 64 characters long: small enough to be
    // served from memory the run has already used and freed.
    constexpr std::size_t buffer_size = chunk_rows * 64;
    static_assert(buffer_size > 2 * row_limit);
    const long chunks = (last - first + chunk_rows - 1) / chunk_rows;
    if (chunks <= 0) return;
    // Chunks formatted ahead of the one being written, each in a buffer of its own.
    const long window = std::min<long>(chunks, 2L * pool.size());

    // Without buffers the rows go out one at a time.
    std::vector<char*> buffers(static_cast<std::size_t>(window), nullptr);
    for (auto& b : buffers) b = static_cast<char*>(std::malloc(buffer_size));
    const bool buffered = std::all_of(buffers.begin(), buffers.end(), [](char* b) { return b != nullptr; });
    if (!buffered) {
        for (auto* b : buffers) std::free(b);
        char row_text[row_limit];
        for (long row = first; row < last;) {
            const char* end = make_rows(row_text, row, row + 1, row_text);
            std::fwrite(row_text, 1, static_cast<std::size_t>(end - row_text), file);
        }
        return;
    }

    struct Formatted {
        const char* end = nullptr;  // of the text in the chunk's buffer
        long next_row = 0;          // the first row not in it
    };
    std::vector<Formatted> formatted(static_cast<std::size_t>(window));
    const auto chunk_end = [first, last](long c) {
        const long begin = first + c * chunk_rows;
        return last - begin < chunk_rows ? last : begin + chunk_rows;
    };
    // Rows from `row` up to `end` into `text`, as many as fit.
    const auto format_into = [&make_rows](char* text, long& row, long end) {
        const char* const full = text + (buffer_size - row_limit);  // no room for one more row
        char* p = text;
        while (row < end && p <= full) p = make_rows(p, row, end, full);
        return p;
    };
    pool.ordered(
        chunks, window,
        [&](long c) {
            const auto slot = static_cast<std::size_t>(c % window);
            long row = first + c * chunk_rows;
            formatted[slot].end = format_into(buffers[slot], row, chunk_end(c));
            formatted[slot].next_row = row;
        },
        [&](long c) {
            const auto slot = static_cast<std::size_t>(c % window);
            char* const text = buffers[slot];
            std::fwrite(text, 1, static_cast<std::size_t>(formatted[slot].end - text), file);
            for (long row = formatted[slot].next_row; row < chunk_end(c);) {
                const char* end = format_into(text, row, chunk_end(c));
                std::fwrite(text, 1, static_cast<std::size_t>(end - text), file);
            }
        });
    for (auto* b : buffers) std::free(b);
}

}  // namespace

void write_ts_table(std::FILE* file, std::span<const double> resampled, double resampled_mean, long scale_pt,
                    std::span<const double> centred, double sd, double dt, bool standardized, ThreadPool& pool) {
    const int ncg = static_cast<int>(centred.size());
    const double mean_ms = 1000 * resampled_mean;
    const int h = static_cast<int>(scale_pt / 2);
    std::fputs(standardized ? "time(sec)\tRRI(ms)\tCG_series\n" : "time(sec)\tRRI(ms)\tCG_series(ms)\n",
               file);
    write_rows(file, 1, static_cast<long>(ncg) + 1, [&](char* p, long& row, long end, const char* full) {
        // Local copies: the compiler need not read them again after every
        // character written.
        const double* const series = unit_offset(resampled.data()) + h;  // unit-offset, as the rows count
        const double* const increments = unit_offset(centred.data());
        const double step = dt;
        const double offset = mean_ms;
        const double divisor = sd;
        long j = row;
        if (standardized) {
            do {
                p = format_ts_row(p, (static_cast<int>(j) - 1) * step, 1000 * series[j] + offset, increments[j] / divisor);
            } while (++j < end && p <= full);
        } else {
            do {
                p = format_ts_row(p, (static_cast<int>(j) - 1) * step, 1000 * series[j] + offset, 1000 * increments[j]);
            } while (++j < end && p <= full);
        }
        row = j;
        return p;
    }, pool);
}

void write_pdf_table(std::FILE* file, const double* bin_centre, const double* p_exp,
                     const double* p_model, int nbins, double divisor, ThreadPool& pool) {
    std::fputs("x/SD\tP_exp\tP_model\n", file);
    write_rows(file, 0, static_cast<long>(nbins), [&](char* p, long& row, long end, const char* full) {
        long i = row;
        do {
            const auto k = static_cast<std::size_t>(i);
            p = format_pdf_row(p, bin_centre[k], p_exp[k] / divisor, p_model[k] / divisor);
        } while (++i < end && p <= full);
        row = i;
        return p;
    }, pool);
}

bool pdf_table_in_range(const double* p_exp, const double* p_model, int nbins, double divisor) {
    for (int i = 0; i < nbins; ++i)
        for (const double p : {p_exp[i], p_model[i]})
            if (std::isfinite(p) && !std::isfinite(p / divisor)) return false;
    return true;
}

Names derive_names(const std::string& input_name) {
    Names names;
    names.input_name = input_name;
    const std::size_t slash = input_name.rfind('/');
    const std::size_t component = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = input_name.rfind('.');
    const bool ends_base = dot != std::string::npos && dot > component;
    names.base_name = ends_base ? input_name.substr(0, dot) : input_name;
    names.ts_name = names.base_name + "_TS.txt";
    names.pdf_name = names.base_name + "_PDF.txt";
    return names;
}

}  // namespace nongauss
