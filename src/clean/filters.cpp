#include "clean/filters.hpp"

#include "nongauss/artefacts.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace nongauss::clean {

double median_of(std::vector<double>& values) {
    const std::size_t n = values.size();
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(n / 2);
    std::nth_element(values.begin(), middle, values.end());
    const double upper = *middle;
    if (n % 2 == 1) return upper;
    const double lower = *std::max_element(values.begin(), middle);
    return (lower + upper) / 2.0;
}

std::vector<IntervalFlag> flag_intervals(const std::vector<double>& seconds, const FilterSettings& settings) {
    std::vector<IntervalFlag> flags(seconds.size(), IntervalFlag::kept);
    std::vector<std::size_t> passed;  // indices that passed the range filter
    passed.reserve(seconds.size());
    for (std::size_t i = 0; i < seconds.size(); ++i) {
        const double x = seconds[i];
        if (settings.range && !(x >= settings.min_s && x <= settings.max_s)) {
            flags[i] = IntervalFlag::out_of_range;
        } else {
            passed.push_back(i);
        }
    }
    if (!settings.deviation || passed.size() < 2) return flags;
    if (settings.local == LocalFilter::detector) {
        std::vector<double> among(passed.size());
        for (std::size_t k = 0; k < passed.size(); ++k) among[k] = seconds[passed[k]];
        ArtefactSettings detector = settings.detector;
        detector.min_threshold = settings.fraction;
        const std::vector<IntervalFlag> found = detect_artefacts(among, detector);
        for (std::size_t k = 0; k < passed.size(); ++k) flags[passed[k]] = found[k];
        return flags;
    }

    const std::ptrdiff_t m = static_cast<std::ptrdiff_t>(passed.size());
    const std::ptrdiff_t half = settings.window / 2;
    std::vector<double> neighbours;
    neighbours.reserve(static_cast<std::size_t>(2 * half));
    for (std::ptrdiff_t p = 0; p < m; ++p) {
        std::ptrdiff_t lo = p - half;
        std::ptrdiff_t hi = p + half;
        if (lo < 0) hi -= lo, lo = 0;
        if (hi > m - 1) lo -= hi - (m - 1), hi = m - 1;
        if (lo < 0) lo = 0;
        neighbours.clear();
        for (std::ptrdiff_t q = lo; q <= hi; ++q)
            if (q != p) neighbours.push_back(seconds[passed[static_cast<std::size_t>(q)]]);
        const double median = median_of(neighbours);
        const double x = seconds[passed[static_cast<std::size_t>(p)]];
        if (std::fabs(x - median) > settings.fraction * median) flags[passed[static_cast<std::size_t>(p)]] = IntervalFlag::deviation;
    }
    return flags;
}

}  // namespace nongauss::clean
