// The surrogate floor and test per scale: the series and each surrogate
// analysed by the public analysis, lambda compared scale by scale.

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "nongauss/analysis.hpp"
#include "nongauss/surrogates.hpp"
#include "surrogates/parallel.hpp"

namespace nongauss {

double rank_p_value(double observed, const std::vector<double>& surrogate_values) {
    const auto at_least = std::count_if(surrogate_values.begin(), surrogate_values.end(),
                                        [&](double v) { return v >= observed; });
    return static_cast<double>(1 + at_least) / static_cast<double>(surrogate_values.size() + 1);
}

double median_of(std::vector<double> values) {
    if (values.empty()) return std::numeric_limits<double>::quiet_NaN();
    std::sort(values.begin(), values.end());
    const std::size_t m = values.size() / 2;
    return values.size() % 2 != 0 ? values[m] : (values[m - 1] + values[m]) / 2.0;
}

std::vector<SurrogateScale> surrogate_test(const Series& series, const Settings& settings,
                                           const std::vector<double>& scales,
                                           const SurrogateTestOptions& options) {
    ScaleOptions analysis;
    analysis.densities = false;
    analysis.model_density = false;
    analysis.pool = options.surrogates.pool;
    analysis.masked = options.masked;
    std::vector<Result> own = analyse_scales(series, settings, scales, analysis);

    const std::size_t count = static_cast<std::size_t>(std::max(options.count, 1));
    const SurrogateMaker maker(series.intervals(), options.surrogates);
    // lambda[k][i]: surrogate k at scale i; a surrogate's scale errors kept
    // beside it.
    std::vector<std::vector<double>> lambda(count, std::vector<double>(scales.size()));
    std::vector<std::vector<std::optional<Error>>> failed(count);
    analysis.pool = nullptr;  // one surrogate per thread
    surrogates::for_each_task(options.surrogates.pool, count, [&](std::size_t k) {
        const Series s = Series::from_intervals(maker.make(options.seed, k), series.unit());
        const std::vector<Result> r = analyse_scales(s, settings, scales, analysis);
        failed[k].resize(scales.size());
        for (std::size_t i = 0; i < scales.size(); ++i) {
            lambda[k][i] = r[i].lambda;
            failed[k][i] = r[i].error;
        }
    });

    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<SurrogateScale> out(scales.size());
    for (std::size_t i = 0; i < scales.size(); ++i) {
        SurrogateScale& o = out[i];
        o.result = std::move(own[i]);
        o.lambda_floor = nan;
        o.p_surrogate = nan;
        if (o.result.error) {
            o.error = o.result.error;
            continue;
        }
        for (std::size_t k = 0; k < count && !o.error; ++k)
            if (failed[k][i])
                o.error = Error(failed[k][i]->kind(),
                                "surrogate " + std::to_string(k) + ": " + failed[k][i]->message());
        if (o.error) continue;
        o.surrogate_lambda.resize(count);
        for (std::size_t k = 0; k < count; ++k) o.surrogate_lambda[k] = lambda[k][i];
        o.lambda_floor = median_of(o.surrogate_lambda);
        if (options.surrogates.kind == SurrogateKind::iaaft)
            o.p_surrogate = rank_p_value(o.result.lambda, o.surrogate_lambda);
    }
    return out;
}

}  // namespace nongauss
