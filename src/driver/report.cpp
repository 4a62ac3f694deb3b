#include "driver/report.hpp"

#include <cstdio>
#include <string>
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

// Text made row by row into a growing string.
class TextBuffer {
public:
    // Room for `n` more characters at the returned position.
    char* room(std::size_t n) {
        if (text_.size() - used_ < n) text_.resize(2 * text_.size() + n);
        return text_.data() + used_;
    }
    void commit(const char* end) { used_ = static_cast<std::size_t>(end - text_.data()); }
    void clear() { used_ = 0; }
    const char* data() const { return text_.data(); }
    std::size_t size() const { return used_; }

private:
    std::string text_;
    std::size_t used_ = 0;
};

// Writes rows [first, last) made by make_row(out, row) -> end (at most
// row_max characters), formatting each chunk of rows on all cores and writing
// the parts in order.
template <typename MakeRow>
void write_rows(std::FILE* file, long first, long last, std::size_t row_max, const MakeRow& make_row) {
    constexpr long chunk_rows = 1L << 16;
    constexpr long min_part_rows = 4096;
    std::vector<TextBuffer> parts(static_cast<std::size_t>(worker_threads()));
    for (long chunk = first; chunk < last; chunk += chunk_rows) {
        const long chunk_end = last - chunk < chunk_rows ? last : chunk + chunk_rows;
        for (auto& b : parts) b.clear();
        parallel_parts(chunk, chunk_end, min_part_rows, [&](int part, long begin, long end) {
            TextBuffer& b = parts[static_cast<std::size_t>(part)];
            for (long row = begin; row < end; ++row) b.commit(make_row(b.room(row_max), row));
        }, static_cast<int>(parts.size()));
        for (const auto& b : parts)
            if (b.size() > 0) std::fwrite(b.data(), 1, b.size(), file);
    }
}

// Opens an output file, or says why not.
std::FILE* open_output(const std::string& name) {
    std::FILE* file = std::fopen(name.c_str(), "w");
    if (file == nullptr) std::fprintf(stderr, "No output file %s!\n", name.c_str());
    return file;
}

// Closes an output file; a write or close failure (such as a full disk) is
// reported with the file's name.
WriteOutcome close_output(std::FILE* file, const std::string& name) {
    const bool write_error = std::ferror(file) != 0;
    const bool close_error = std::fclose(file) != 0;
    if (!write_error && !close_error) return WriteOutcome::written;
    std::fprintf(stderr, "Error while writing output file %s!\n", name.c_str());
    return WriteOutcome::failed;
}

}  // namespace

WriteOutcome write_ts_file(const Names& names, const Settings& settings, Resampled& series,
                   const Increments& inc) {
    std::FILE* file = open_output(names.ts_name);
    if (file == nullptr) return WriteOutcome::not_opened;
    std::fprintf(stderr, "Resampled and coase-grained time series are written in \"%s\".\n",
                 names.ts_name.c_str());

    const double mean_ms = 1000 * series.resampled_mean;
    const int h = static_cast<int>(series.scale_pt / 2);
    std::fputs(settings.standardize == 0 ? "time(sec)\tRRI(ms)\tCG_series(ms)\n"
                                         : "time(sec)\tRRI(ms)\tCG_series\n",
               file);
    const double* resampled = series.resampled;
    write_rows(file, 1, static_cast<long>(inc.ncg) + 1, ts_row_max, [&](char* out, long row) {
        const int j = static_cast<int>(row);
        const double time = (j - 1) * settings.dt;
        const double rri_ms = 1000 * resampled[j + h] + mean_ms;
        const double cg = settings.standardize == 0 ? 1000 * inc.cg_series[j]
                                                    : inc.cg_series[j] / inc.cg_sd;
        return format_ts_row(out, time, rri_ms, cg);
    });
    return close_output(file, names.ts_name);
}

WriteOutcome write_pdf_file(const Names& names, const Settings& settings, const double* bin_centre,
                    const double* p_exp, const double* p_model) {
    std::FILE* file = open_output(names.pdf_name);
    if (file == nullptr) return WriteOutcome::not_opened;
    std::fprintf(stderr, "The estimated PDF is written in \"%s\".\n", names.pdf_name.c_str());
    std::fputs("x/SD\tP_exp\tP_model\n", file);
    write_rows(file, 1, static_cast<long>(settings.nbins) + 1, pdf_row_max, [&](char* out, long row) {
        const int i = static_cast<int>(row);
        return format_pdf_row(out, bin_centre[i], p_exp[i] / settings.pdf_divisor,
                              p_model[i] / settings.pdf_divisor);
    });
    return close_output(file, names.pdf_name);
}

bool print_summary(const Names& names, const Settings& settings, double cg_sd, double lambda) {
    const char* rule = "====================================================================\n";
    std::fputs(rule, stderr);
    std::fprintf(stderr, "file=%s ; scale=%5.1lf sec ; SD=%7.1lf msec ; lmd=%4.3lf\n",
                 names.input_name.c_str(), settings.scale, 1000 * cg_sd, lambda);
    std::fputs(rule, stderr);
    std::fprintf(stdout, "%s\t%5.1lf\t%7.1lf\t%5.4lf\n", names.base_name.c_str(), settings.scale,
                 1000 * cg_sd, lambda);
    if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return true;
    std::fprintf(stderr, "Error while writing the summary to standard output!\n");
    return false;
}

}  // namespace nongauss
