#include "nongauss/stages.hpp"

#include <cmath>
#include <utility>

#include "analysis/stage_state.hpp"
#include "nongauss/thread_pool.hpp"
#include "numeric/fatal_error.hpp"
#include "prep/finite_check.hpp"
#include "prep/resample.hpp"
#include "stats/empirical_pdf.hpp"
#include "stats/lambda.hpp"
#include "stats/model_pdf.hpp"
#include "nongauss/formatted.hpp"

namespace nongauss {

namespace {

// A warning goes to the result's list and, as a line of its own, to the
// transcript where the condition is found.
void warn(std::vector<std::string>& warnings, Transcript& transcript, std::string text) {
    transcript.write("Warning: " + text + "\n");
    warnings.push_back(std::move(text));
}

}  // namespace

// --- PreparedSeries ---

PreparedSeries::PreparedSeries(const Series& series, const Settings& settings, Transcript& transcript,
                               const ScaleOptions& options)
    : impl_(std::make_unique<Impl>()) {
    ThreadPool serial(1);
    ThreadPool& pool = options.pool != nullptr ? *options.pool : serial;
    Impl& p = *impl_;
    p.settings = with_limits(settings);
    p.ndata = static_cast<int>(series.n_beats());
    p.duration_s = series.duration_s();
    p.unit = series.unit();
    p.warnings = series.warnings();
    const double dt = p.settings.dt;
    const double unit = series.unit_divisor();

    const double points = p.duration_s / dt;
    if (!(points < static_cast<double>(INT_MAX))) fatal_error("The data length is too long!\n");
    p.nres = static_cast<int>(points);
    p.resampled = OwnedVector(1, p.nres);

    // The intervals in seconds, as the resampling takes them: converted into
    // a copy when their unit is not seconds, as read otherwise.
    std::vector<double> seconds;
    if (unit > 1) {
        seconds.reserve(series.intervals().size());
        for (const double v : series.intervals()) seconds.push_back(v / unit);
    }
    const double* rri = unit_offset(unit > 1 ? seconds.data() : series.intervals().data());

    transcript.write(formatted("number of input data: %d\n", p.ndata));
    transcript.write(formatted("total time: %7.1lf sec = %7.1lf min = %3.1lf h \n", p.duration_s,
                               p.duration_s / 60, p.duration_s / 3600));
    transcript.write(formatted("resampling interval (frequency): %5.3lf sec (%5.2lf Hz)\n", dt, 1 / dt));
    switch (p.settings.interpolation) {
        case Interpolation::step: transcript.write("Resamping as a step function\n"); break;
        case Interpolation::linear: transcript.write("Resamping with linear interpolation.\n"); break;
        case Interpolation::spline: transcript.write("Resamping with cubic spline interpolation.\n"); break;
    }

    if (p.nres >= 1) {
        double* r = p.resampled;
        resample(rri, p.ndata, dt, p.settings.interpolation, r, p.nres, pool);
        double s = 0.0;
        for (int j = 1; j <= p.nres; ++j) s = s + r[j];
        p.resampled_mean = s / p.nres;
        for (int j = 1; j <= p.nres; ++j) r[j] = r[j] - p.resampled_mean;
    }
    p.out_of_range_point = first_point_out_of_range(p.resampled, p.nres, p.resampled_mean);

    if (!options.masked.empty() && p.nres >= 1) {
        // Point j lies at (j - 1) dt: a stretch [from, to] holds the points from
        // ceil(from / dt) + 1 to floor(to / dt) + 1.
        std::vector<char> is_masked(static_cast<std::size_t>(p.nres) + 1, 0);
        for (const TimeStretch& m : options.masked) {
            if (!(m.to >= m.from)) continue;
            const double first = std::ceil(m.from / dt) + 1, last = std::floor(m.to / dt) + 1;
            if (last < 1 || first > p.nres) continue;
            const long a = first < 1 ? 1 : static_cast<long>(first);
            const long b = last > p.nres ? p.nres : static_cast<long>(last);
            for (long j = a; j <= b; ++j) is_masked[static_cast<std::size_t>(j)] = 1;
        }
        p.masked.assign(static_cast<std::size_t>(p.nres) + 1, 0);
        for (std::size_t j = 1; j < is_masked.size(); ++j) p.masked[j] = p.masked[j - 1] + is_masked[j];
    }
}

PreparedSeries::~PreparedSeries() = default;
PreparedSeries::PreparedSeries(PreparedSeries&&) noexcept = default;
PreparedSeries& PreparedSeries::operator=(PreparedSeries&&) noexcept = default;

const Settings& PreparedSeries::settings() const noexcept { return impl_->settings; }
std::size_t PreparedSeries::n_beats() const noexcept { return static_cast<std::size_t>(impl_->ndata); }
double PreparedSeries::duration_s() const noexcept { return impl_->duration_s; }
Unit PreparedSeries::unit() const noexcept { return impl_->unit; }
const std::vector<std::string>& PreparedSeries::warnings() const noexcept { return impl_->warnings; }
int PreparedSeries::nres() const noexcept { return impl_->nres; }
std::span<const double> PreparedSeries::resampled() const noexcept {
    if (impl_->nres < 1) return {};
    return {impl_->resampled + 1, static_cast<std::size_t>(impl_->nres)};
}
double PreparedSeries::resampled_mean_s() const noexcept { return impl_->resampled_mean; }

const double* PreparedSeries::Impl::profile() const {
    const std::lock_guard<std::mutex> lock(profile_mutex);
    if (profile_array.get() == nullptr) {
        OwnedVector made(1, nres);
        running_sum(resampled, nres, made);
        profile_array = std::move(made);
    }
    return profile_array;
}

// --- ScaleIncrements ---

ScaleIncrements::ScaleIncrements() : impl_(std::make_unique<Impl>()) {}
ScaleIncrements::~ScaleIncrements() = default;
ScaleIncrements::ScaleIncrements(ScaleIncrements&&) noexcept = default;
ScaleIncrements& ScaleIncrements::operator=(ScaleIncrements&&) noexcept = default;

double ScaleIncrements::scale_s() const noexcept { return impl_->scale_s; }
long ScaleIncrements::scale_pt() const noexcept { return impl_->scale_pt; }
int ScaleIncrements::count() const noexcept { return impl_->inc.count; }
double ScaleIncrements::mean_s() const noexcept { return impl_->inc.mean_s; }
double ScaleIncrements::sd_s() const noexcept { return impl_->inc.sd_s; }
std::span<const double> ScaleIncrements::centred() const noexcept {
    if (impl_->inc.count < 1) return {};
    return {impl_->inc.centred + 1, static_cast<std::size_t>(impl_->inc.count)};
}

// --- the stages per scale ---

ScaleIncrements increments_at(const PreparedSeries& prepared, double scale, Transcript& transcript,
                              const ScaleOptions& options) {
    return increments_at(prepared, scale, transcript, options, WindowFits::by_size);
}

ScaleIncrements increments_at(const PreparedSeries& prepared, double scale, Transcript& transcript,
                              const ScaleOptions& options, WindowFits fits) {
    ThreadPool serial(1);
    ThreadPool& pool = options.pool != nullptr ? *options.pool : serial;
    const PreparedSeries::Impl& p = internal::StageAccess::of(prepared);
    ScaleIncrements out;
    ScaleIncrements::Impl& s = internal::StageAccess::of(out);
    Settings limited = p.settings;
    limited.scale = scale;
    s.scale_s = with_limits(limited).scale;
    s.scale_pt = scale_in_points(s.scale_s, p.settings.dt);
    transcript.write(formatted("scale: %5.5lf (%ld pt)\n", s.scale_s, s.scale_pt));

    if (p.out_of_range_point != 0) {
        const std::string message =
            formatted("The resampled series is out of range at point %d!", p.out_of_range_point);
        fatal_error(message.c_str());
    }
    s.inc = coarse_grain({p.resampled, p.nres, p.ndata, s.scale_pt, fit_coefficients(p.settings), p.settings.fit,
                          [&p] { return p.profile(); }, fits, p.masked.empty() ? nullptr : &p.masked},
                         transcript, pool);
    // Every centred increment is in range in milliseconds exactly when the
    // SD is: an increment d with |1000 d| beyond the double range has d * d
    // beyond it too, which makes the sum of squares, and with it the SD,
    // infinite (a NaN makes it NaN); conversely a finite 1000 SD bounds every
    // |d| far below that range. So the SD alone is checked.
    if (!std::isfinite(1000 * s.inc.sd_s))
        fatal_error("The coarse-grained series is out of range!");
    const double sd_ms = 1000 * s.inc.sd_s;
    if (clear_rounding_spread(s.inc, p.resampled_mean, s.scale_pt))
        warn(s.warnings, transcript,
             formatted("the series has no variability at a scale of %g s: the SD of its increments, %g ms, "
                       "is rounding error, so SD and lambda are reported as 0",
                       s.scale_s, sd_ms));
    return out;
}

Result complete(ScaleIncrements&& increments, const PreparedSeries& prepared, Transcript& transcript,
                const ScaleOptions& options) {
    const ScaleIncrements owned(std::move(increments));
    return complete(owned, prepared, transcript, options);
}

Result complete(const ScaleIncrements& increments, const PreparedSeries& prepared, Transcript& transcript,
                const ScaleOptions& options) {
    ThreadPool serial(1);
    ThreadPool& pool = options.pool != nullptr ? *options.pool : serial;
    const PreparedSeries::Impl& p = internal::StageAccess::of(prepared);
    const ScaleIncrements::Impl& s = internal::StageAccess::of(increments);
    const Increments& inc = s.inc;

    Result r;
    r.scale_s = s.scale_s;
    r.scale_pt = s.scale_pt;
    r.n_beats = static_cast<std::size_t>(p.ndata);
    r.duration_s = p.duration_s;
    r.unit = p.unit;
    r.warnings = p.warnings;
    r.warnings.insert(r.warnings.end(), s.warnings.begin(), s.warnings.end());
    r.sd_s = inc.sd_s;
    r.sd_ms = 1000 * inc.sd_s;
    r.n_increments = inc.count;
    r.windows_used = inc.windows_used;
    r.windows_left_out = inc.windows_left_out;
    r.increment_mean_s = inc.mean_s;

    // The standardised increments are inc.centred[i] / inc.sd_s.
    const double q = p.settings.moment_order;
    if (q != 0.0 && effective_moment_order(q) == 0.0)
        warn(r.warnings, transcript,
             formatted("an order q of %g is too close to 0 for the closed form of the estimator (|q| < %g): "
                       "lambda comes from the logarithmic moment, its limit as q -> 0 (as with -q 0)",
                       q, smallest_closed_form_order));
    r.lambda_sq = estimate_lambda_sq(inc.centred, inc.count, q, inc.sd_s, pool);
    // Above 2 the powers |x|^q of the standardised increments can overflow
    // (and the factor 2/(q(q-2)) vanish): the estimate is then no number at
    // all, which no order below 2 can give (the pole at 2 itself is the
    // formula's, and a series without variability has no increments to
    // standardise). Such an order ends the analysis before anything is written.
    if (effective_moment_order(q) > 2 && inc.sd_s > 0 && !std::isfinite(r.lambda_sq))
        fatal_error(formatted("The absolute moment of order %g is out of range!", q).c_str());
    r.lambda = lambda_from_estimate(r.lambda_sq);
    if (!(r.lambda_sq > 0 && std::isfinite(r.lambda_sq)))
        transcript.write(formatted("square of lambda = %lf\n", r.lambda_sq));
    if (options.increments) {
        const double* cg = inc.centred;
        r.increments.resize(static_cast<std::size_t>(inc.count));
        for (int i = 1; i <= inc.count; ++i) r.increments[static_cast<std::size_t>(i - 1)] = cg[i] / inc.sd_s;
    }

    if (!options.densities) return r;

    const int nbins = p.settings.nbins;
    const OwnedVector bin_centre(1, nbins);
    const OwnedVector p_exp(1, nbins);
    OwnedVector p_model;
    if (options.model_density) p_model = OwnedVector(1, nbins);
    estimate_pdf(inc.count, inc.centred, nbins, bin_centre, p_exp, inc.sd_s, pool);
    r.bin_centre.assign(bin_centre + 1, bin_centre + 1 + nbins);
    r.p_exp.assign(p_exp + 1, p_exp + 1 + nbins);

    if (options.model_density) {
        const OwnedVector de_table(1, model_table_length);
        compute_model_pdf(r.lambda, nbins, bin_centre, p_model, de_table, pool);
        const double* m = p_model;
        r.p_model.assign(m + 1, m + 1 + nbins);
    }
    return r;
}

}  // namespace nongauss
