#include "driver/run.hpp"

#include "coarse/increments.hpp"
#include "driver/finite_check.hpp"
#include "driver/interval_check.hpp"
#include "driver/reader.hpp"
#include "driver/report.hpp"
#include "numeric/arrays.hpp"
#include "prep/resample.hpp"
#include "stats/empirical_pdf.hpp"
#include "stats/lambda.hpp"
#include "stats/model_pdf.hpp"

namespace nongauss {

int run_command_line(int argc, char** argv) {
    Settings settings;
    Names names;
    if (!parse_command_line(argc, argv, settings, names)) {
        print_usage();
        return 1;
    }

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

    const WriteOutcome ts = write_ts_file(names, settings, series, inc);
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

    const WriteOutcome pdf = write_pdf_file(names, settings, bin_centre, p_exp, p_model);
    int status = pdf == WriteOutcome::failed ? 1 : 0;
    if (pdf == WriteOutcome::written && !print_summary(names, settings, inc.cg_sd, lambda)) status = 1;

    release_vector(bin_centre, 1, nbins);
    release_vector(p_exp, 1, nbins);
    release_vector(p_model, 1, nbins);
    release_vector(de_table, 1, table_length);
    release_vector(series.resampled, 1, series.nres);
    release_vector(inc.cg_series, 1, inc.upper);
    return status;
}

}  // namespace nongauss
