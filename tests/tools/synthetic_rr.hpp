#pragma once

// Synthetic RR series for the cleaning tests: a stationary series with
// respiratory and slow modulation and bounded noise, and known artefacts
// injected into it.

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace nongauss::testing {

struct SyntheticRR {
    std::vector<double> seconds;
    std::vector<bool> injected;  ///< true where an artefact was put

    void add(double s, bool artefact) {
        seconds.push_back(s);
        injected.push_back(artefact);
    }
};

/// Next stationary interval: 0.8 s, a respiratory swing of 0.05 s every 4.5
/// beats, a slow one of 0.03 s every 300 beats and uniform noise within
/// +-0.03 s. No interval is more than about 14 % from its neighbours' median.
inline double stationary_beat(std::size_t i, std::mt19937& rng) {
    const double pi = 3.141592653589793;
    const double u = static_cast<double>(rng()) / 4294967295.0;  // portable, unlike the distributions
    const double t = static_cast<double>(i);
    return 0.8 + 0.05 * std::sin(2 * pi * t / 4.5) + 0.03 * std::sin(2 * pi * t / 300) +
           0.06 * (u - 0.5);
}

inline SyntheticRR stationary_rr(std::size_t n, std::uint32_t seed) {
    std::mt19937 rng(seed);
    SyntheticRR rr;
    for (std::size_t i = 0; i < n; ++i) rr.add(stationary_beat(i, rng), false);
    return rr;
}

/// A stationary series of about n beats with, in this order: a run of six
/// missing beats at the start (each interval two beats long), a 30-s gap of
/// lost signal, an ectopic pair (short, then a compensatory long interval), a
/// spurious detection that splits one interval into two short ones, a single
/// missed beat and a 7-s gap.
inline SyntheticRR rr_with_artefacts(std::size_t n, std::uint32_t seed) {
    std::mt19937 rng(seed);
    SyntheticRR rr;
    std::size_t i = 0;
    for (int k = 0; k < 6; ++k, i += 2) rr.add(stationary_beat(i, rng) + stationary_beat(i + 1, rng), true);
    const std::size_t gap = n / 6, ectopic = 2 * n / 6, spurious = 3 * n / 6, missed = 4 * n / 6,
                      short_gap = 5 * n / 6;
    for (; i < n; ++i) {
        const double beat = stationary_beat(i, rng);
        if (i == gap) {
            rr.add(30.0, true);
        } else if (i == ectopic) {
            rr.add(0.62 * beat, true);
            rr.add(2 * beat - 0.62 * beat, true);
            ++i;
        } else if (i == spurious) {
            rr.add(0.4 * beat, true);
            rr.add(0.6 * beat, true);
        } else if (i == missed) {
            rr.add(beat + stationary_beat(++i, rng), true);
        } else if (i == short_gap) {
            rr.add(7.0, true);
        } else {
            rr.add(beat, false);
        }
    }
    return rr;
}

}  // namespace nongauss::testing
