#include "driver/run.hpp"

#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "coarse/increments.hpp"
#include "driver/finite_check.hpp"
#include "driver/interval_check.hpp"
#include "driver/output_file.hpp"
#include "driver/reader.hpp"
#include "driver/report.hpp"
#include "numeric/arrays.hpp"
#include "prep/resample.hpp"
#include "stats/empirical_pdf.hpp"
#include "stats/lambda.hpp"
#include "stats/model_pdf.hpp"

namespace nongauss {

namespace {

// True when `a` and `b` name one existing file (same device and inode,
// whatever path or link leads there).
bool same_file(const std::string& a, const std::string& b) {
    struct stat sa {};
    struct stat sb {};
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

// An output must never replace the input it is made from.
bool check_outputs_spare_input(const Names& names) {
    for (const std::string* output : {&names.ts_name, &names.pdf_name}) {
        if (!same_file(*output, names.input_name)) continue;
        std::fprintf(stderr, "The output file %s is the input file %s: nothing was written!\n",
                     output->c_str(), names.input_name.c_str());
        return false;
    }
    return true;
}

}  // namespace

int run_command_line(int argc, char** argv) {
    Settings settings;
    Names names;
    switch (parse_command_line(argc, argv, settings, names)) {
        case CommandLine::usage_error: print_usage(); return 1;
        case CommandLine::help: return print_help() ? 0 : 1;
        case CommandLine::version: return print_version() ? 0 : 1;
        case CommandLine::analyse: break;
    }
    if (!check_outputs_spare_input(names)) return 1;

    const int ndata = read_series(names.input_name.c_str());
    if (ndata < 1) return 1;  // the reader has said why
    return analyse_series(settings, names, ndata);
}

int analyse_series(const Settings& settings, const Names& names, int ndata) {
    if (!check_intervals(rri, ndata) || !check_time_axis(rri, ndata)) return 1;

    Resampled series = prepare_series(rri, ndata, settings.dt, settings.scale, settings.interp_method);
    check_resampled(series);
    Increments inc = coarse_grain(series.resampled, series.nres, ndata, series.scale_pt,
                                  settings.ncoef, settings.fit_method);
    check_increments(inc);

    OutputFile ts_file;
    OutputFile pdf_file;
    const WriteOutcome ts = write_ts_file(ts_file, names, settings, series, inc);
    if (ts != WriteOutcome::written) {
        release_vector(series.resampled, 1, series.nres);
        release_vector(inc.cg_series, 1, inc.upper);
        return ts == WriteOutcome::not_opened ? 0 : 1;
    }
    standardize_increments(inc);

    double moment_order = settings.moment_order;
    const double lambda = estimate_lambda(inc.cg_series, inc.ncg, moment_order);

    const int nbins = settings.nbins;
    double* bin_centre = vector(1, nbins);
    double* p_exp = vector(1, nbins);
    double* p_model = vector(1, nbins);
    estimate_pdf(inc.ncg, inc.cg_series, nbins, bin_centre, p_exp);

    constexpr int table_length = 100000;
    double* de_table = vector(1, table_length);
    compute_model_pdf(lambda, nbins, bin_centre, p_model, de_table);

    const WriteOutcome pdf = write_pdf_file(pdf_file, names, settings, bin_centre, p_exp, p_model);
    // The files are put in place together, once both are complete; a failed
    // PDF file leaves the previous pair as it was.
    int status = 0;
    if (pdf == WriteOutcome::failed) {
        status = 1;
    } else if (!ts_file.commit()) {
        report_write_error(ts_file);
        status = 1;
    } else if (pdf == WriteOutcome::written) {
        if (!pdf_file.commit()) {
            report_write_error(pdf_file);
            status = 1;
        } else if (!print_summary(names, settings, inc.cg_sd, lambda)) {
            status = 1;
        }
    }

    release_vector(bin_centre, 1, nbins);
    release_vector(p_exp, 1, nbins);
    release_vector(p_model, 1, nbins);
    release_vector(de_table, 1, table_length);
    release_vector(series.resampled, 1, series.nres);
    release_vector(inc.cg_series, 1, inc.upper);
    return status;
}

}  // namespace nongauss
