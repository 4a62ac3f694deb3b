#include "driver/report.hpp"

#include <cstdio>

#include "text/tables.hpp"

namespace nongauss {

namespace {

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

WriteOutcome write_ts_file(const Names& names, const Settings& settings, const PreparedSeries& prepared,
                           const ScaleIncrements& inc) {
    std::FILE* file = open_output(names.ts_name);
    if (file == nullptr) return WriteOutcome::not_opened;
    std::fprintf(stderr, "Resampled and coase-grained time series are written in \"%s\".\n",
                 names.ts_name.c_str());
    write_ts_table(file, prepared.resampled(), prepared.resampled_mean_s(), inc.scale_pt(), inc.centred(),
                   inc.count(), inc.sd_s(), settings.dt, settings.standardized_ts);
    return close_output(file, names.ts_name);
}

WriteOutcome write_pdf_file(const Names& names, const Settings& settings, const Result& result) {
    std::FILE* file = open_output(names.pdf_name);
    if (file == nullptr) return WriteOutcome::not_opened;
    std::fprintf(stderr, "The estimated PDF is written in \"%s\".\n", names.pdf_name.c_str());
    write_pdf_table(file, result.bin_centre.data(), result.p_exp.data(), result.p_model.data(),
                    settings.nbins, settings.pdf_divisor);
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
