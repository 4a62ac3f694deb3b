// Flagged stretches filled, and the analysis that leaves out the windows
// touching them.

#include "nongauss/masked.hpp"

#include <cmath>

#include "nongauss/error.hpp"

namespace nongauss {

FilledSeries fill_flagged(const Series& series, const std::vector<IntervalFlag>& flags) {
    const std::vector<double>& x = series.intervals();
    const std::size_t n = x.size();
    if (flags.size() != n)
        throw Error(ErrorKind::input, "The flags are not one per interval (" + std::to_string(flags.size()) +
                                          " flags, " + std::to_string(n) + " intervals)");
    std::size_t kept = 0;
    for (const IntervalFlag f : flags) kept += f == IntervalFlag::kept ? 1 : 0;
    if (kept == n) return FilledSeries{series, {}, 0, 0, 0};
    if (kept == 0) throw Error(ErrorKind::input, "Every interval is flagged: nothing to analyse");

    const double divisor = series.unit_divisor();
    FilledSeries out{series, {}, n - kept, 0, 0};
    std::vector<double> filled;
    filled.reserve(n);
    double elapsed = 0.0;  // seconds to the start of the next filled interval, as the resampling sums them
    std::size_t i = 0;
    while (i < n) {
        if (flags[i] == IntervalFlag::kept) {
            filled.push_back(x[i]);
            elapsed = elapsed + x[i] / divisor;
            ++i;
            continue;
        }
        std::size_t end = i;
        double total = 0.0;
        while (end < n && flags[end] != IntervalFlag::kept) total += x[end++];
        const bool has_before = i > 0, has_after = end < n;
        const double before = has_before ? x[i - 1] : x[end];
        const double after = has_after ? x[end] : x[i - 1];
        const double mean = (before + after) / 2.0;
        const double count = std::max(1.0, std::nearbyint(total / mean));
        const auto m = static_cast<std::size_t>(count);
        std::vector<double> v(m);
        double sum = 0.0;
        for (std::size_t k = 0; k < m; ++k) {
            v[k] = before + (after - before) * static_cast<double>(k + 1) / (count + 1.0);
            sum += v[k];
        }
        // The resampled values the fill reaches: from the start of the kept
        // interval before to the end of the kept interval after.
        TimeStretch reach;
        reach.from = has_before ? elapsed - x[i - 1] / divisor : 0.0;
        for (double& value : v) {
            value *= total / sum;
            filled.push_back(value);
            elapsed = elapsed + value / divisor;
        }
        reach.to = elapsed + (has_after ? x[end] / divisor : 0.0);
        out.masked.push_back(reach);
        out.filled += m;
        ++out.stretches;
        i = end;
    }
    out.series = Series::from_intervals(std::move(filled), series.unit());
    return out;
}

std::vector<Result> analyse_masked(const Series& series, const std::vector<IntervalFlag>& flags,
                                   const Settings& settings, const std::vector<double>& scales,
                                   const ScaleOptions& options) {
    const FilledSeries filled = fill_flagged(series, flags);
    ScaleOptions masked = options;
    masked.masked = filled.masked;
    return analyse_scales(filled.series, settings, scales, masked);
}

}  // namespace nongauss
