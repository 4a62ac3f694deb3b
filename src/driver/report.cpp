#include "driver/report.hpp"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "driver/fixed_format.hpp"
#include "numeric/parallel.hpp"

namespace nongauss {

namespace {

// A TS row: "%lf\t%lf\t%lf\n".
constexpr std::size_t ts_row_max = 3 * (fixed_max_length(6) + 1);

char* format_ts_row(char* p, double time, double rri_ms, double cg) {
    p = format_fixed(p, time, 6);
    *p++ = '\t';
    p = format_fixed(p, rri_ms, 6);
    *p++ = '\t';
    p = format_fixed(p, cg, 6);
    *p++ = '\n';
    return p;
}

// A PDF row: "%lf\t%8.7lf\t%12.11lf\n".
constexpr std::size_t pdf_row_max = fixed_max_length(6) + fixed_max_length(7, 8) + fixed_max_length(11, 12) + 3;

char* format_pdf_row(char* p, double centre, double p_exp, double p_model) {
    p = format_fixed(p, centre, 6);
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

// Writes rows [first, last) made by make_row(out, row) -> end (at most
// row_limit characters). The rows are formatted in chunks, the chunks dealt
// round-robin to the cores; each thread formats its next chunk into its own
// buffer, then waits for the chunk's turn and writes it, so that the text
// reaches the file in row order while formatting and writing overlap.
template <typename MakeRow>
void write_rows(std::FILE* file, long first, long last, const MakeRow& make_row) {
    constexpr long chunk_rows = 1L << 14;
    const long chunks = (last - first + chunk_rows - 1) / chunk_rows;
    if (chunks <= 0) return;
    const long lanes = chunks < worker_threads() ? chunks : worker_threads();

    // Buffers of the largest size a chunk can take: only the pages written
    // are ever touched. Without them the rows go out one at a time.
    std::vector<char*> buffers(static_cast<std::size_t>(lanes), nullptr);
    for (auto& b : buffers) b = static_cast<char*>(std::malloc(chunk_rows * row_limit));
    const bool buffered = std::all_of(buffers.begin(), buffers.end(), [](char* b) { return b != nullptr; });
    if (!buffered) {
        for (auto* b : buffers) std::free(b);
        char row_text[row_limit];
        for (long row = first; row < last; ++row) {
            const char* end = make_row(row_text, row);
            std::fwrite(row_text, 1, static_cast<std::size_t>(end - row_text), file);
        }
        return;
    }

    std::atomic<long> turn{0};  // the chunk whose text goes out next
    // Lane `lane` formats and writes the chunks c with owner(c) true, in order.
    const auto run_lane = [&](long lane, auto owner) {
        char* text = buffers[static_cast<std::size_t>(lane)];
        for (long c = 0; c < chunks; ++c) {
            if (!owner(c)) continue;
            const long begin = first + c * chunk_rows;
            const long end = last - begin < chunk_rows ? last : begin + chunk_rows;
            char* p = text;
            for (long row = begin; row < end; ++row) p = make_row(p, row);
            for (long t = turn.load(); t != c; t = turn.load()) turn.wait(t);
            std::fwrite(text, 1, static_cast<std::size_t>(p - text), file);
            turn.store(c + 1);
            turn.notify_all();
        }
    };

    std::vector<std::thread> threads;
    long started = 1;  // lanes 1 .. started-1 run on threads of their own
    for (; started < lanes; ++started) {
        try {
            threads.emplace_back(run_lane, started, [started, lanes](long c) { return c % lanes == started; });
        } catch (const std::system_error&) {
            break;
        }
    }
    // This thread takes lane 0 and every lane that could not be started.
    run_lane(0, [started, lanes](long c) { return c % lanes == 0 || c % lanes >= started; });
    for (auto& t : threads) t.join();
    for (auto* b : buffers) std::free(b);
}

// Opens an output file, or says why not.
std::FILE* open_output(OutputFile& out, const std::string& name) {
    if (out.open(name)) return out.stream();
    std::fprintf(stderr, "No output file %s!\n", name.c_str());
    return nullptr;
}

// Finishes an output file; a write or close failure (such as a full disk) is
// reported with the file's name, and the incomplete file is removed.
WriteOutcome close_output(OutputFile& out) {
    if (out.finish()) return WriteOutcome::written;
    report_write_error(out);
    return WriteOutcome::failed;
}

}  // namespace

std::string escaped_field(const std::string& text) {
    std::string field;
    field.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '\t': field += "\\t"; break;
            case '\n': field += "\\n"; break;
            case '\r': field += "\\r"; break;
            case '\\': field += "\\\\"; break;
            default: field += c;
        }
    }
    return field;
}

void report_write_error(OutputFile& out) {
    std::fprintf(stderr, "Error while writing output file %s!\n", out.name().c_str());
    out.discard();
}

WriteOutcome write_ts_file(OutputFile& out, const Names& names, const Settings& settings, Resampled& series,
                   const Increments& inc) {
    std::FILE* file = open_output(out, names.ts_name);
    if (file == nullptr) return WriteOutcome::not_opened;
    std::fprintf(stderr, "Resampled and coase-grained time series are written in \"%s\".\n",
                 names.ts_name.c_str());

    const double mean_ms = 1000 * series.resampled_mean;
    const int h = static_cast<int>(series.scale_pt / 2);
    std::fputs(settings.standardize == 0 ? "time(sec)\tRRI(ms)\tCG_series(ms)\n"
                                         : "time(sec)\tRRI(ms)\tCG_series\n",
               file);
    const double* resampled = series.resampled;
    write_rows(file, 1, static_cast<long>(inc.ncg) + 1, [&](char* out, long row) {
        const int j = static_cast<int>(row);
        const double time = (j - 1) * settings.dt;
        const double rri_ms = 1000 * resampled[j + h] + mean_ms;
        const double cg = settings.standardize == 0 ? 1000 * inc.cg_series[j]
                                                    : inc.cg_series[j] / inc.cg_sd;
        return format_ts_row(out, time, rri_ms, cg);
    });
    return close_output(out);
}

WriteOutcome write_pdf_file(OutputFile& out, const Names& names, const Settings& settings, const double* bin_centre,
                    const double* p_exp, const double* p_model) {
    std::FILE* file = open_output(out, names.pdf_name);
    if (file == nullptr) return WriteOutcome::not_opened;
    std::fprintf(stderr, "The estimated PDF is written in \"%s\".\n", names.pdf_name.c_str());
    std::fputs("x/SD\tP_exp\tP_model\n", file);
    write_rows(file, 1, static_cast<long>(settings.nbins) + 1, [&](char* out, long row) {
        const int i = static_cast<int>(row);
        return format_pdf_row(out, bin_centre[i], p_exp[i] / settings.pdf_divisor,
                              p_model[i] / settings.pdf_divisor);
    });
    return close_output(out);
}

bool print_summary(const Names& names, const Settings& settings, double cg_sd, double lambda) {
    const char* rule = "====================================================================\n";
    std::fputs(rule, stderr);
    std::fprintf(stderr, "file=%s ; scale=%5.1lf sec ; SD=%7.1lf msec ; lmd=%4.3lf\n",
                 names.input_name.c_str(), settings.scale, 1000 * cg_sd, lambda);
    std::fputs(rule, stderr);
    std::fprintf(stdout, "%s\t%5.1lf\t%7.1lf\t%5.4lf\n", escaped_field(names.base_name).c_str(),
                 settings.scale, 1000 * cg_sd, lambda);
    if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return true;
    std::fprintf(stderr, "Error while writing the summary to standard output!\n");
    return false;
}

}  // namespace nongauss
