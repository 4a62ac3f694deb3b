#include "clean/cleaned_series.hpp"

#include <algorithm>
#include <cmath>

namespace nongauss::clean {

namespace {

double power_of_ten(int decimals) {
    double p = 1.0;
    for (int k = 0; k < decimals; ++k) p *= 10.0;
    return p;
}

}  // namespace

std::vector<long long> fill_stretch(double before, double after, double total, int decimals) {
    const double per_unit = power_of_ten(decimals);
    const double scaled_total = total * per_unit;
    // Beyond 2^53 units the rounding below would no longer be exact.
    if (!(scaled_total >= 0.5) || !(scaled_total < 9007199254740992.0)) return {};
    const long long total_units = std::llround(scaled_total);

    const double mean = (before + after) / 2.0;
    long long n = 1;
    if (mean > 0.0 && std::isfinite(mean)) {
        const double beats = total / mean;
        if (beats >= 1.5) n = beats < 1e7 ? std::llround(beats) : 10000000LL;
    }
    n = std::min(n, total_units);  // every interval at least one unit long

    std::vector<double> cumulative(static_cast<std::size_t>(n));
    double sum = 0.0;
    for (long long k = 1; k <= n; ++k) {
        sum += before + (after - before) * static_cast<double>(k) / static_cast<double>(n + 1);
        cumulative[static_cast<std::size_t>(k - 1)] = sum;
    }

    std::vector<long long> lengths(static_cast<std::size_t>(n));
    long long previous = 0;
    for (long long k = 1; k <= n; ++k) {
        long long boundary = total_units;
        if (k < n && sum > 0.0) {
            boundary = std::llround(scaled_total * (cumulative[static_cast<std::size_t>(k - 1)] / sum));
        } else if (k < n) {
            boundary = previous + 1;
        }
        // Keep every interval positive and leave room for the ones still to come.
        boundary = std::clamp(boundary, previous + 1, total_units - (n - k));
        lengths[static_cast<std::size_t>(k - 1)] = boundary - previous;
        previous = boundary;
    }
    return lengths;
}

std::string format_units(long long units, int decimals) {
    std::string digits = std::to_string(units);
    if (decimals == 0) return digits;
    const std::size_t d = static_cast<std::size_t>(decimals);
    if (digits.size() <= d) digits = std::string(d + 1 - digits.size(), '0') + digits;
    const std::size_t point = digits.size() - d;
    return digits.substr(0, point) + '.' + digits.substr(point);
}

std::string cleaned_text(const RRText& rr, const std::vector<IntervalFlag>& flags, bool replace,
                         int decimals, OutputCounts& counts, std::vector<double>* values) {
    counts = OutputCounts{};
    const double per_unit = power_of_ten(decimals);
    std::string out;
    out.reserve(rr.texts.size() + rr.numbers.size());
    const std::size_t n = rr.numbers.size();
    std::size_t i = 0;
    while (i < n) {
        if (flags[i] == IntervalFlag::kept) {
            out.append(rr.text(i));
            if (values != nullptr) values->push_back(rr.numbers[i].value);
            out.push_back('\n');
            ++counts.kept;
            ++i;
            continue;
        }
        std::size_t j = i;  // the stretch of flagged intervals is [i, j)
        double total = 0.0;
        while (j < n && flags[j] != IntervalFlag::kept) total += rr.numbers[j].value, ++j;
        const bool has_before = i > 0;
        const bool has_after = j < n;
        if (replace && !has_before && !has_after) {
            counts.unfilled += j - i;  // nothing kept to interpolate from
        } else if (replace) {
            const double before = has_before ? rr.numbers[i - 1].value : rr.numbers[j].value;
            const double after = has_after ? rr.numbers[j].value : before;
            const std::vector<long long> lengths = fill_stretch(before, after, total, decimals);
            if (lengths.empty()) {
                counts.unfilled += j - i;
            } else {
                for (const long long units : lengths) {
                    out.append(format_units(units, decimals));
                    // units / 10^decimals: both exact (below 2^53 and 10^9), so
                    // the one rounded division is the double nearest the text.
                    if (values != nullptr) values->push_back(static_cast<double>(units) / per_unit);
                    out.push_back('\n');
                }
                counts.interpolated += lengths.size();
                ++counts.stretches;
            }
        }
        i = j;
    }
    return out;
}

}  // namespace nongauss::clean
