// The artefact detector: each kind injected at a known place into a clean
// synthetic series is flagged with its kind and nothing else is.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "nongauss/artefacts.hpp"

namespace nongauss {
namespace {

using F = IntervalFlag;

// 3000 intervals around 0.8 s: breathing (5 beats a cycle), a slow swing and
// a little jitter from a fixed generator.
std::vector<double> clean_series() {
    std::vector<double> rr(3000);
    std::uint64_t x = 12345;
    for (std::size_t n = 0; n < rr.size(); ++n) {
        x = x * 6364136223846793005ULL + 1442695040888963407ULL;
        const double jitter = (static_cast<double>(x >> 40) / 16777216.0 - 0.5) * 0.01;
        const double t = static_cast<double>(n);
        rr[n] = 0.8 + 0.03 * std::sin(2 * M_PI * t / 5) + 0.05 * std::sin(2 * M_PI * t / 700) + jitter;
    }
    return rr;
}

struct Injected {
    const char* name;
    std::function<void(std::vector<double>&)> inject;  // changes the series
    std::size_t first, count;                           // the intervals to be flagged
    F flag;
};

TEST(ArtefactDetector, FlagsEachInjectedKindWithItsKindAndNothingElse) {
    const std::vector<Injected> cases = {
        {"ectopic pair", [](auto& rr) { const double s = rr[1000] + rr[1001]; rr[1000] *= 0.7; rr[1001] = s - rr[1000]; },
         1000, 2, F::ectopic},
        {"missed beat", [](auto& rr) { rr[1000] += rr[1001]; rr.erase(rr.begin() + 1001); }, 1000, 1, F::missed},
        {"extra beat", [](auto& rr) { rr.insert(rr.begin() + 1001, rr[1000] * 0.6); rr[1000] *= 0.4; },
         1000, 2, F::extra},
        {"extra beat, late", [](auto& rr) { rr.insert(rr.begin() + 1001, rr[1000] * 0.25); rr[1000] *= 0.75; },
         1000, 2, F::extra},
        {"long interval", [](auto& rr) { rr[1000] *= 1.5; }, 1000, 1, F::long_interval},
        {"short interval", [](auto& rr) { rr[1000] *= 0.6; }, 1000, 1, F::short_interval},
        {"run of 10 short", [](auto& rr) { for (int k = 0; k < 10; ++k) rr[1000 + k] *= 0.65; }, 1000, 10,
         F::short_interval},
        {"run of 60 short", [](auto& rr) { for (int k = 0; k < 60; ++k) rr[1000 + k] *= 0.65; }, 1000, 60,
         F::short_interval},
        {"run of 40 long", [](auto& rr) { for (int k = 0; k < 40; ++k) rr[1000 + k] *= 1.5; }, 1000, 40,
         F::long_interval},
        {"gaps at the start", [](auto& rr) { rr[0] = 7.0; rr[1] = 9.5; rr[2] = 5.0; }, 0, 3, F::long_interval},
        {"gap at the start", [](auto& rr) { rr[0] = 6.0; }, 0, 1, F::long_interval},
        {"gaps at the end", [](auto& rr) { rr.insert(rr.end(), {8.0, 10.0, 6.0, 7.0}); }, 3000, 4, F::long_interval},
        {"run of 60 at the end", [](auto& rr) { for (std::size_t k = 2940; k < 3000; ++k) rr[k] *= 0.65; }, 2940,
         60, F::short_interval},
        // The rate moves on beside a run: its outer levels differ by more
        // than half its departure from the nearer one.
        {"run of 10 short, slower after it",
         [](auto& rr) {
             for (int k = 0; k < 10; ++k) rr[1000 + k] *= 0.65;
             for (std::size_t k = 1010; k < rr.size(); ++k) rr[k] += 0.2;
         },
         1000, 10, F::short_interval},
        {"run of 10 short, faster after it",
         [](auto& rr) {
             for (int k = 0; k < 10; ++k) rr[1000 + k] *= 0.65;
             for (std::size_t k = 1010; k < rr.size(); ++k) rr[k] -= 0.1;
         },
         1000, 10, F::short_interval},
        // Swings of the rhythm with an artefact's shape but not its size.
        {"long, then one lower but above its median",
         [](auto& rr) { rr[999] *= 1.3; rr[1000] *= 1.08; rr[1001] *= 1.15; }, 999, 1, F::long_interval},
        {"a peak that falls over two beats", [](auto& rr) { rr[1000] *= 1.3; rr[1001] *= 1.2; }, 0, 0, F::kept},
        {"three beats a quarter longer", [](auto& rr) { for (int k = 0; k < 3; ++k) rr[1000 + k] *= 1.25; }, 0, 0,
         F::kept},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<double> rr = clean_series();
        c.inject(rr);
        const auto flags = detect_artefacts(rr);
        ASSERT_EQ(flags.size(), rr.size());
        for (std::size_t i = 0; i < flags.size(); ++i) {
            const bool injected = i >= c.first && i < c.first + c.count;
            EXPECT_EQ(flags[i], injected ? c.flag : F::kept) << "interval " << i;
        }
    }
}

TEST(ArtefactDetector, LeavesACleanSeriesAloneAndGivesTheSameFlagsEveryRun) {
    const std::vector<double> rr = clean_series();
    const auto flags = detect_artefacts(rr);
    EXPECT_EQ(std::count(flags.begin(), flags.end(), F::kept), static_cast<std::ptrdiff_t>(rr.size()));

    // The same input, copied elsewhere, with artefacts: the same flags.
    std::vector<double> noisy = clean_series();
    for (std::size_t k = 100; k < noisy.size(); k += 97) noisy[k] *= 0.5 + static_cast<double>(k % 7) / 4;
    const std::vector<double> copy = noisy;
    EXPECT_EQ(detect_artefacts(noisy), detect_artefacts(copy));
}

TEST(ArtefactDetector, FlagsValuesThatAreNoIntervalsAndSkipsThem) {
    std::vector<double> rr = clean_series();
    rr[500] = 0.0;
    rr[600] = -0.8;
    rr[700] = std::numeric_limits<double>::quiet_NaN();
    rr[800] = std::numeric_limits<double>::infinity();
    const auto flags = detect_artefacts(rr);
    for (std::size_t i = 0; i < flags.size(); ++i) {
        const F want = i == 500 || i == 600 ? F::short_interval : i == 700 || i == 800 ? F::long_interval : F::kept;
        EXPECT_EQ(flags[i], want) << "interval " << i;
    }
    // Too short for any window, or empty: no crash, one flag each.
    EXPECT_EQ(detect_artefacts(std::vector<double>{0.8}), std::vector<F>{F::kept});
    EXPECT_TRUE(detect_artefacts(std::vector<double>{}).empty());
    EXPECT_EQ(detect_artefacts(std::vector<double>{0.8, 0.8, 0.8}).size(), 3u);
}

TEST(ArtefactDetector, RefusesSettingsItCannotUse) {
    const std::vector<std::function<void(ArtefactSettings&)>> bad = {
        [](auto& s) { s.threshold_window = 90; }, [](auto& s) { s.median_window = 1; },
        [](auto& s) { s.alpha = 0; },             [](auto& s) { s.c1 = std::nan(""); },
        [](auto& s) { s.median_limit = -1; },     [](auto& s) { s.min_threshold = -0.1; },
        [](auto& s) { s.max_run = 0; },           [](auto& s) { s.run_fraction = 0; },
        [](auto& s) { s.run_edge = std::nan(""); },
    };
    EXPECT_EQ(artefact_settings_problem(ArtefactSettings{}), nullptr);
    const std::vector<double> rr = clean_series();
    for (const auto& change : bad) {
        ArtefactSettings s;
        change(s);
        EXPECT_NE(artefact_settings_problem(s), nullptr);
        EXPECT_THROW(detect_artefacts(rr, s), std::invalid_argument);
    }
}

}  // namespace
}  // namespace nongauss
