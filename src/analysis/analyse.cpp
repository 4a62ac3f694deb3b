#include "nongauss/analysis.hpp"

#include <cmath>
#include <utility>

#include "analysis/stage_state.hpp"
#include "nongauss/stages.hpp"
#include "prep/resample.hpp"

namespace nongauss {

Settings with_limits(Settings s) {
    if (s.scale < 2.0) s.scale = 2.0;
    if (s.dt < 0.01) s.dt = 0.01;
    if (s.nbins < 10) s.nbins = 10;
    if (s.pdf_divisor == 0.0) s.pdf_divisor = 1.0;
    return s;
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

std::vector<Result> analyse_scales(const Series& series, const Settings& settings,
                                   const std::vector<double>& scales, Transcript& transcript,
                                   const ScaleOptions& options) {
    const PreparedSeries prepared(series, settings, transcript, options);
    std::vector<Result> results;
    results.reserve(scales.size());
    for (const double scale : scales) {
        try {
            ScaleIncrements inc = increments_at(prepared, scale, transcript, options);
            results.push_back(complete(std::move(inc), prepared, transcript, options));
        } catch (const Error& e) {
            Settings at_scale = prepared.settings();
            at_scale.scale = scale;
            Result r;
            r.scale_s = with_limits(at_scale).scale;
            r.scale_pt = scale_in_points(r.scale_s, at_scale.dt);
            r.n_beats = prepared.n_beats();
            r.duration_s = prepared.duration_s();
            r.unit = prepared.unit();
            r.warnings = prepared.warnings();
            r.error = e;
            results.push_back(std::move(r));
        }
    }
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
    for (int i = 0; i < count; ++i) {
        if (i == 0)
            scales.push_back(from);
        else if (i == count - 1)
            scales.push_back(to);
        else
            scales.push_back(from * std::pow(to / from, static_cast<double>(i) / (count - 1)));
    }
    return scales;
}

}  // namespace nongauss
