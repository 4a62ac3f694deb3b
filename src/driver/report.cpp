#include "driver/report.hpp"

#include <cstdio>

#include "nongauss/tables.hpp"
#include "nongauss/tsv_field.hpp"

namespace nongauss {

namespace {

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

void report_write_error(OutputFile& out) {
    std::fprintf(stderr, "Error while writing output file %s!\n", out.name().c_str());
    out.discard();
}

WriteOutcome write_ts_file(OutputFile& out, const Names& names, const Settings& settings,
                           const PreparedSeries& prepared, const ScaleIncrements& inc, ThreadPool& pool) {
    std::FILE* file = open_output(out, names.ts_name);
    if (file == nullptr) return WriteOutcome::not_opened;
    std::fprintf(stderr, "Resampled and coase-grained time series are written in \"%s\".\n",
                 names.ts_name.c_str());
    write_ts_table(file, prepared.resampled(), prepared.resampled_mean_s(), inc.scale_pt(), inc.centred(),
                   inc.sd_s(), settings.dt, settings.standardized_ts, pool);
    return close_output(out);
}

WriteOutcome write_pdf_file(OutputFile& out, const Names& names, const Settings& settings,
                            const Result& result, ThreadPool& pool) {
    std::FILE* file = open_output(out, names.pdf_name);
    if (file == nullptr) return WriteOutcome::not_opened;
    std::fprintf(stderr, "The estimated PDF is written in \"%s\".\n", names.pdf_name.c_str());
    write_pdf_table(file, result.bin_centre.data(), result.p_exp.data(), result.p_model.data(),
                    settings.nbins, settings.pdf_divisor, pool);
    return close_output(out);
}

bool print_summary(const Names& names, const Settings& settings, double sd_s, double lambda) {
    const char* rule = "====================================================================\n";
    std::fputs(rule, stderr);
    std::fprintf(stderr, "file=%s ; scale=%5.1lf sec ; SD=%7.1lf msec ; lmd=%4.3lf\n",
                 names.input_name.c_str(), settings.scale, 1000 * sd_s, lambda);
    std::fputs(rule, stderr);
    std::fprintf(stdout, "%s\t%5.1lf\t%7.1lf\t%5.4lf\n", escaped_field(names.base_name).c_str(),
                 settings.scale, 1000 * sd_s, lambda);
    if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return true;
    std::fprintf(stderr, "Error while writing the summary to standard output!\n");
    return false;
}

}  // namespace nongauss
