#include "driver/report.hpp"

#include <cstdio>

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
    for (int j = 1; j <= inc.ncg; ++j) {
        const double time = (j - 1) * settings.dt;
        const double rri_ms = 1000 * series.resampled[j + h] + mean_ms;
        const double cg = settings.standardize == 0 ? 1000 * inc.cg_series[j]
                                                    : inc.cg_series[j] / inc.cg_sd;
        std::fprintf(file, "%lf\t%lf\t%lf\n", time, rri_ms, cg);
    }
    return close_output(file, names.ts_name);
}

WriteOutcome write_pdf_file(const Names& names, const Settings& settings, const double* bin_centre,
                    const double* p_exp, const double* p_model) {
    std::FILE* file = open_output(names.pdf_name);
    if (file == nullptr) return WriteOutcome::not_opened;
    std::fprintf(stderr, "The estimated PDF is written in \"%s\".\n", names.pdf_name.c_str());
    std::fputs("x/SD\tP_exp\tP_model\n", file);
    for (int i = 1; i <= settings.nbins; ++i)
        std::fprintf(file, "%lf\t%8.7lf\t%12.11lf\n", bin_centre[i], p_exp[i] / settings.pdf_divisor,
                     p_model[i] / settings.pdf_divisor);
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
