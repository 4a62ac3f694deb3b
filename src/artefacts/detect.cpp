// Beat classification of RR intervals: see include/nongauss/artefacts.hpp.
#include "nongauss/artefacts.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <stdexcept>
#include <vector>

namespace nongauss {

namespace {

// The window of `width` values around position n of a series of `count`
// values: centred, sliding inwards near either end so that it keeps its
// size, all of the series when that is shorter.
struct Range {
    std::size_t begin;
    std::size_t end;
};

Range window_at(std::size_t n, std::size_t count, int width, bool keep_size) {
    if (!keep_size) {
        const auto half = static_cast<std::size_t>(width / 2);
        return {n > half ? n - half : 0, std::min(count, n + half + 1)};
    }
    const std::size_t w = std::min(static_cast<std::size_t>(width), count);
    const std::size_t half = w / 2;
    std::size_t begin = n > half ? n - half : 0;
    if (begin + w > count) begin = count - w;
    return {begin, begin + w};
}

// The q-quantile of `v` (not empty) by linear interpolation between order
// statistics at position q * (size - 1); reorders `v`.
double quantile_of(std::vector<double>& v, double q) {
    const double pos = q * static_cast<double>(v.size() - 1);
    const auto lo = static_cast<std::size_t>(pos);
    const double frac = pos - static_cast<double>(lo);
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(lo), v.end());
    const double a = v[lo];
    if (frac == 0.0 || lo + 1 >= v.size()) return a;
    const double b = *std::min_element(v.begin() + static_cast<std::ptrdiff_t>(lo) + 1, v.end());
    return a + frac * (b - a);
}

// Median of values[begin, end), end > begin (the mean of the two middle
// values for an even count).
double median_of(const std::vector<double>& values, std::size_t begin, std::size_t end,
                 std::vector<double>& scratch) {
    scratch.assign(values.begin() + static_cast<std::ptrdiff_t>(begin),
                   values.begin() + static_cast<std::ptrdiff_t>(end));
    return quantile_of(scratch, 0.5);
}

std::vector<double> moving_median(const std::vector<double>& values, int width, bool keep_size) {
    std::vector<double> out(values.size());
    std::vector<double> scratch;
    for (std::size_t n = 0; n < values.size(); ++n) {
        const Range r = window_at(n, values.size(), width, keep_size);
        out[n] = median_of(values, r.begin, r.end, scratch);
    }
    return out;
}

// alpha times the quartile deviation of `values` in the window around each
// position, at least `floor` times `level` there.
std::vector<double> moving_threshold(const std::vector<double>& values, int width, bool keep_size,
                                     double alpha, double floor, const std::vector<double>& level) {
    std::vector<double> out(values.size());
    std::vector<double> scratch;
    for (std::size_t n = 0; n < values.size(); ++n) {
        const Range r = window_at(n, values.size(), width, keep_size);
        scratch.assign(values.begin() + static_cast<std::ptrdiff_t>(r.begin),
                       values.begin() + static_cast<std::ptrdiff_t>(r.end));
        const double q1 = quantile_of(scratch, 0.25);
        const double q3 = quantile_of(scratch, 0.75);
        out[n] = std::max(alpha * ((q3 - q1) / 2.0), floor * level[n]);
    }
    return out;
}

// x / threshold, with a zero threshold (no floor) making any change infinite.
double scaled(double x, double threshold) {
    if (threshold > 0.0) return x / threshold;
    if (x == 0.0) return 0.0;
    return std::copysign(std::numeric_limits<double>::infinity(), x);
}

// What the published tests say of one interval, before it becomes flags.
enum class Beat : unsigned char { normal, ectopic, missed, extra, long_beat, short_beat };

// Flags of the intervals of a run begin..end-1 not flagged yet.
void flag_run(std::vector<IntervalFlag>& flags, std::size_t begin, std::size_t end, bool longer) {
    for (std::size_t k = begin; k < end; ++k)
        if (flags[k] == IntervalFlag::kept)
            flags[k] = longer ? IntervalFlag::long_interval : IntervalFlag::short_interval;
}

class Detector {
public:
    Detector(const std::vector<double>& rr, const ArtefactSettings& s) : rr_(rr), s_(s) {}

    std::vector<IntervalFlag> run() {
        const std::size_t n = rr_.size();
        std::vector<IntervalFlag> flags(n, IntervalFlag::kept);
        if (n == 0) return flags;
        normalise();
        std::vector<Beat> beats(n, Beat::normal);
        for (std::size_t i = 0; i < n; ++i) beats[i] = classify(i);

        for (std::size_t i = 0; i < n; ++i)
            if (beats[i] == Beat::ectopic) {
                const std::size_t first = pair_start(i);
                flags[first] = flags[first + 1] = IntervalFlag::ectopic;
            }
        for (std::size_t i = 0; i < n; ++i) {
            if (flags[i] != IntervalFlag::kept) continue;
            switch (beats[i]) {
                case Beat::normal:
                case Beat::ectopic: break;
                case Beat::missed: flags[i] = IntervalFlag::missed; break;
                case Beat::extra:
                    flags[i] = IntervalFlag::extra;
                    if (flags[i + 1] == IntervalFlag::kept) flags[i + 1] = IntervalFlag::extra;
                    break;
                case Beat::long_beat: flags[i] = IntervalFlag::long_interval; break;
                case Beat::short_beat: flags[i] = IntervalFlag::short_interval; break;
            }
        }
        if (s_.runs && n >= 2) find_runs(flags);
        return flags;
    }

private:
    const std::vector<double>& rr_;
    const ArtefactSettings& s_;
    std::vector<double> drrs_, mrrs_, th1_, th2_, med_;
    std::vector<double> scratch_;

    void normalise() {
        const std::size_t n = rr_.size();
        std::vector<double> drr(n, 0.0), mrr(n), magnitude(n);
        for (std::size_t i = 1; i < n; ++i) drr[i] = rr_[i] - rr_[i - 1];
        for (std::size_t i = 0; i < n; ++i) magnitude[i] = std::fabs(drr[i]);
        med_ = moving_median(rr_, s_.median_window, s_.keep_window_size);
        th1_ = moving_threshold(magnitude, s_.threshold_window, s_.keep_window_size, s_.alpha, s_.min_threshold,
                                med_);
        for (std::size_t i = 0; i < n; ++i) {
            mrr[i] = rr_[i] - med_[i];
            if (mrr[i] < 0.0) mrr[i] = 2.0 * mrr[i];
            magnitude[i] = std::fabs(mrr[i]);
        }
        th2_ = moving_threshold(magnitude, s_.threshold_window, s_.keep_window_size, s_.alpha, s_.min_threshold,
                                med_);
        drrs_.resize(n);
        mrrs_.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            drrs_[i] = scaled(drr[i], th1_[i]);
            mrrs_[i] = scaled(mrr[i], th2_[i]);
        }
    }

    // The first interval of the ectopic pair of a jump at i: after a rise,
    // the premature interval i - 1 and its pause i; after a fall into the
    // shorter interval i, that interval with the longer of its neighbours
    // (i - 1 before a late beat, i + 1, the pause, after a premature one).
    std::size_t pair_start(std::size_t i) const {
        if (drrs_[i] < 0.0 && i + 1 < rr_.size() && rr_[i + 1] > rr_[i - 1]) return i;
        return i - 1;
    }

    double d(std::size_t i, std::ptrdiff_t offset) const {
        const auto k = static_cast<std::ptrdiff_t>(i) + offset;
        return k >= 0 && k < static_cast<std::ptrdiff_t>(drrs_.size()) ? drrs_[static_cast<std::size_t>(k)] : 0.0;
    }

    Beat classify(std::size_t i) const {
        const double s11 = drrs_[i];
        if (std::fabs(s11) > 1.0) {
            const double s12 = s11 > 0.0 ? std::max(d(i, -1), d(i, 1)) : std::min(d(i, -1), d(i, 1));
            const bool pattern =
                (s11 > 1.0 && s12 < -s_.c1 * s11 - s_.c2) || (s11 < -1.0 && s12 > -s_.c1 * s11 + s_.c2);
            // A premature beat's pause is shorter than two intervals: longer
            // ones are gaps, classified below. The pair's shorter interval
            // (i - 1 before a rise, i after a fall) lies below its median by
            // more than half of Th2 (mRRs < -1): a swing of the rhythm that
            // has the pattern but no premature interval is no ectopic beat.
            const std::size_t shorter = s11 > 0.0 ? i - 1 : i;
            const std::size_t first = pair_start(i);
            if (pattern && mrrs_[shorter] < -1.0 && rr_[first] <= 2.0 * med_[first] &&
                rr_[first + 1] <= 2.0 * med_[first + 1])
                return Beat::ectopic;
        }
        // A long interval's jump back comes with the next interval (a descent
        // over two beats is the rhythm's); a short one's may come after two
        // (an extra beat splits one interval in two short ones).
        const double s22 = s11 >= 0.0 ? d(i, 1) : std::max(d(i, 1), d(i, 2));
        const bool jump_long = s11 > 1.0 && s22 < -1.0;
        const bool jump_short = s11 < -1.0 && s22 > 1.0;
        const bool far = std::fabs(mrrs_[i]) > s_.median_limit;
        if (!jump_long && !jump_short && !far) return Beat::normal;
        // Far from the median, its side of the median decides (a gap shorter
        // than the gap before it is still long); else the jump's direction.
        const bool longer = far ? mrrs_[i] > 0.0 : jump_long;
        if (longer) return std::fabs(rr_[i] / 2.0 - med_[i]) < th2_[i] ? Beat::missed : Beat::long_beat;
        if (i + 1 < rr_.size() && std::fabs(rr_[i] + rr_[i + 1] - med_[i]) < th2_[i]) return Beat::extra;
        return Beat::short_beat;
    }

    double level(std::size_t begin, std::size_t end) {
        return median_of(rr_, begin, end, scratch_);
    }

    // +1 when `inside` lies above `outer` by more than the threshold and
    // twice the run fraction, -1 below by more than the threshold and the run
    // fraction, 0 otherwise (as mRR weighs a shortening double).
    int departure(double inside, double outer, double threshold) const {
        const double diff = inside - outer;
        const double fraction = diff > 0.0 ? 2.0 * s_.run_fraction : s_.run_fraction;
        if (!(std::fabs(diff) > threshold) || !(std::fabs(diff) > fraction * outer)) return 0;
        return diff > 0.0 ? 1 : -1;
    }

    // Whether the jump into interval k makes up at least `run_edge` of a
    // change of level `change`.
    bool abrupt(std::size_t k, double change) const {
        return std::fabs(rr_[k] - rr_[k - 1]) >= s_.run_edge * change;
    }

    void find_runs(std::vector<IntervalFlag>& flags) {
        const std::size_t n = rr_.size();
        const auto longest = static_cast<std::size_t>(s_.max_run);
        const auto context = static_cast<std::size_t>(s_.run_context);

        // Runs between two jumps.
        for (std::size_t i = 1; i < n; ++i) {
            if (!(std::fabs(drrs_[i]) > 1.0)) continue;
            const int sign = drrs_[i] > 0.0 ? 1 : -1;
            const double before = level(i - std::min(i, context), i);
            const std::size_t last = std::min(n - 1, i + longest);
            for (std::size_t j = i + 1; j <= last; ++j) {
                if (!(drrs_[j] * sign < -1.0)) continue;
                const double inside = level(i, j);
                const double after = level(j, std::min(n, j + context));
                // Each edge is measured against the smaller change of level:
                // the heart's own rate may move on beside a run, and the
                // larger change then holds that movement as well.
                const double change = std::min(std::fabs(inside - before), std::fabs(inside - after));
                if (departure(inside, before, th1_[i]) == sign && departure(inside, after, th1_[j]) == sign &&
                    std::fabs(before - after) < change && abrupt(i, change) && abrupt(j, change)) {
                    flag_run(flags, i, j, sign > 0);
                    i = j - 1;
                    break;
                }
            }
        }

        // A run from the first interval: the largest qualifying end.
        for (std::size_t j = std::min(n - 1, longest); j >= 1; --j) {
            if (!(std::fabs(drrs_[j]) > 1.0)) continue;
            const int sign = drrs_[j] > 0.0 ? -1 : 1;  // the run's direction
            const double inside = level(0, j);
            const double after = level(j, std::min(n, j + context));
            const int dir = departure(inside, after, th1_[j]);
            if (dir != 0 && dir == sign && abrupt(j, std::fabs(inside - after))) {
                flag_run(flags, 0, j, dir > 0);
                break;
            }
        }

        // A run to the last interval: the smallest qualifying start.
        for (std::size_t i = n > longest ? n - longest : 1; i < n; ++i) {
            if (!(std::fabs(drrs_[i]) > 1.0)) continue;
            const int sign = drrs_[i] > 0.0 ? 1 : -1;
            const double inside = level(i, n);
            const double before = level(i - std::min(i, context), i);
            const int dir = departure(inside, before, th1_[i]);
            if (dir != 0 && dir == sign && abrupt(i, std::fabs(inside - before))) {
                flag_run(flags, i, n, dir > 0);
                break;
            }
        }
    }
};

bool odd_window(int w) { return w >= 3 && w % 2 == 1; }
bool positive(double x) { return std::isfinite(x) && x > 0.0; }

}  // namespace

const char* artefact_settings_problem(const ArtefactSettings& s) noexcept {
    if (!odd_window(s.threshold_window)) return "the threshold window must be odd and at least 3";
    if (!odd_window(s.median_window)) return "the median window must be odd and at least 3";
    if (!positive(s.alpha)) return "alpha must be a positive number";
    if (!std::isfinite(s.c1) || !std::isfinite(s.c2)) return "c1 and c2 must be finite";
    if (!positive(s.median_limit)) return "the median limit must be a positive number";
    if (!std::isfinite(s.min_threshold) || s.min_threshold < 0.0)
        return "the threshold floor must be a number, 0 or more";
    if (s.max_run < 1 || s.run_context < 1) return "the longest run and the run context must be at least 1";
    if (!positive(s.run_fraction)) return "the run fraction must be a positive number";
    if (!std::isfinite(s.run_edge) || s.run_edge < 0.0) return "the run edge must be a number, 0 or more";
    return nullptr;
}

std::vector<IntervalFlag> detect_artefacts(std::span<const double> seconds, const ArtefactSettings& settings) {
    if (const char* problem = artefact_settings_problem(settings)) throw std::invalid_argument(problem);
    std::vector<IntervalFlag> flags(seconds.size(), IntervalFlag::kept);
    std::vector<std::size_t> where;
    std::vector<double> rr;
    where.reserve(seconds.size());
    rr.reserve(seconds.size());
    for (std::size_t i = 0; i < seconds.size(); ++i) {
        const double x = seconds[i];
        if (std::isfinite(x) && x > 0.0) {
            where.push_back(i);
            rr.push_back(x);
        } else {
            flags[i] = x <= 0.0 ? IntervalFlag::short_interval : IntervalFlag::long_interval;
        }
    }
    const std::vector<IntervalFlag> found = Detector(rr, settings).run();
    for (std::size_t k = 0; k < found.size(); ++k) flags[where[k]] = found[k];
    return flags;
}

}  // namespace nongauss
