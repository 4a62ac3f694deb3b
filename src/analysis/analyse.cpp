#include "nongauss/analysis.hpp"

#include <cmath>
#include <utility>

#include "analysis/stage_state.hpp"
#include "nongauss/stages.hpp"
#include "nongauss/thread_pool.hpp"
#include "prep/resample.hpp"

namespace nongauss {

Result failed_scale(const Settings& settings, double scale, Error error) {
    Settings at_scale = settings;
    at_scale.scale = scale;
    at_scale = with_limits(at_scale);
    Result r;
    r.scale_s = at_scale.scale;
    r.scale_pt = scale_in_points(at_scale.scale, at_scale.dt);
    r.error = std::move(error);
    return r;
}

Result analyse(const Series& series, const Settings& settings, Transcript& transcript,
               const ScaleOptions& options) {
    const PreparedSeries prepared(series, settings, transcript, options);
    ScaleIncrements inc = increments_at(prepared, prepared.settings().scale, transcript, options);
    return complete(std::move(inc), prepared, transcript, options);
}

Result analyse(const Series& series, const Settings& settings, const ScaleOptions& options) {
    DiscardTranscript discard;
    return analyse(series, settings, discard, options);
}

namespace {

// One scale of analyse_scales: its result, or the error of that scale in
// Result::error. Errors of the whole series propagate.
Result analyse_scale(const PreparedSeries& prepared, double scale, Transcript& transcript,
                     const ScaleOptions& options) {
    try {
        ScaleIncrements inc = increments_at(prepared, scale, transcript, options);
        return complete(std::move(inc), prepared, transcript, options);
    } catch (const Error& e) {
        Result r = failed_scale(prepared.settings(), scale, e);
        r.n_beats = prepared.n_beats();
        r.duration_s = prepared.duration_s();
        r.unit = prepared.unit();
        r.warnings = prepared.warnings();
        return r;
    }
}

}  // namespace

std::vector<Result> analyse_scales(const Series& series, const Settings& settings,
                                   const std::vector<double>& scales, Transcript& transcript,
                                   const ScaleOptions& options) {
    ThreadPool serial(1);
    ScaleOptions pooled = options;
    if (pooled.pool == nullptr) pooled.pool = &serial;
    ThreadPool& pool = *pooled.pool;
    const PreparedSeries prepared(series, settings, transcript, pooled);
    // The scales side by side, one thread each, as many at once as the pool
    // has threads; each scale's part of the transcript is held until it is
    // passed on in order. An error of the whole series at one scale is thrown
    // once the scales before it are out, and no scale after it is started.
    struct ScaleRun {
        Result result;
        StringTranscript transcript;
    };
    std::vector<ScaleRun> runs(scales.size());
    std::vector<Result> results;
    results.reserve(scales.size());
    pool.ordered(
        static_cast<long>(scales.size()), pool.size(),
        [&](long i) {
            ScaleRun& run = runs[static_cast<std::size_t>(i)];
            run.result = analyse_scale(prepared, scales[static_cast<std::size_t>(i)], run.transcript, pooled);
        },
        [&](long i) {
            ScaleRun& run = runs[static_cast<std::size_t>(i)];
            transcript.write(run.transcript.text());
            run.transcript.clear();
            results.push_back(std::move(run.result));
        });
    return results;
}

std::vector<Result> analyse_scales(const Series& series, const Settings& settings,
                                   const std::vector<double>& scales, const ScaleOptions& options) {
    DiscardTranscript discard;
    return analyse_scales(series, settings, scales, discard, options);
}

std::vector<double> log_spaced_scales(double from, double to, int count) {
    std::vector<double> scales;
    if (count < 1) return scales;
    scales.reserve(static_cast<std::size_t>(count));
    const double ratio = to / from;
    for (int i = 0; i < count; ++i) {
        if (i == 0)
            scales.push_back(from);
        else if (i == count - 1)
            scales.push_back(to);
        else if (ratio > 0 && std::isfinite(ratio))
            scales.push_back(from * std::pow(ratio, static_cast<double>(i) / (count - 1)));
        else  // a ratio beyond the range of doubles: through the logarithms
            scales.push_back(std::exp(std::log(from) + (std::log(to) - std::log(from)) * i / (count - 1)));
    }
    return scales;
}

}  // namespace nongauss
