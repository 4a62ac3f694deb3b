// The range filter and the local filters (the detector, the median filter) of nongauss-clean.
#include <gtest/gtest.h>

#include <vector>

#include "clean/filters.hpp"
#include "tools/synthetic_rr.hpp"

namespace nongauss::clean {
namespace {

using nongauss::testing::rr_with_artefacts;
using nongauss::testing::stationary_rr;

FilterSettings median_filter() {
    FilterSettings f;
    f.local = LocalFilter::median;
    return f;
}

TEST(CleanMedian, OddAndEvenCounts) {
    std::vector<double> odd = {5, 1, 4, 2, 3};
    EXPECT_EQ(median_of(odd), 3.0);
    std::vector<double> even = {10, 1, 4, 2, 100, 3};
    EXPECT_EQ(median_of(even), 3.5);
    std::vector<double> one = {0.8};
    EXPECT_EQ(median_of(one), 0.8);
}

TEST(CleanFilters, StationarySeriesKeepsEveryBeat) {
    for (const std::uint32_t seed : {1u, 2u, 3u}) {
        const auto rr = stationary_rr(5000, seed);
        const auto flags = flag_intervals(rr.seconds, FilterSettings{});
        for (std::size_t i = 0; i < flags.size(); ++i)
            ASSERT_EQ(flags[i], IntervalFlag::kept) << "seed " << seed << " beat " << i << " " << rr.seconds[i];
    }
}

TEST(CleanFilters, EveryInjectedArtefactAndNothingElseIsFlagged) {
    const auto rr = rr_with_artefacts(3000, 7);
    const auto flags = flag_intervals(rr.seconds, FilterSettings{});
    ASSERT_EQ(flags.size(), rr.seconds.size());
    int range = 0, deviation = 0;
    for (std::size_t i = 0; i < flags.size(); ++i) {
        EXPECT_EQ(flags[i] != IntervalFlag::kept, rr.injected[i]) << "beat " << i << " " << rr.seconds[i];
        range += flags[i] == IntervalFlag::out_of_range;
        deviation += flags[i] != IntervalFlag::kept && flags[i] != IntervalFlag::out_of_range;
    }
    // The two gaps are out of range; the missed beats, the ectopic pair and
    // the split interval are within it and left to the local filter.
    EXPECT_EQ(range, 2);
    EXPECT_EQ(deviation, 6 + 2 + 2 + 1);
}

TEST(CleanFilters, RangeLimitsAreInclusiveAndSwitchable) {
    const std::vector<double> s = {0.8, 0.3, 0.29999, 2.0, 2.00001, -0.8, 0.0, 1e300};
    FilterSettings f;
    f.deviation = false;
    const auto flags = flag_intervals(s, f);
    const std::vector<IntervalFlag> expected = {IntervalFlag::kept,  IntervalFlag::kept,  IntervalFlag::out_of_range, IntervalFlag::kept,
                                        IntervalFlag::out_of_range, IntervalFlag::out_of_range, IntervalFlag::out_of_range, IntervalFlag::out_of_range};
    EXPECT_EQ(flags, expected);

    f.range = false;
    for (const IntervalFlag flag : flag_intervals(s, f)) EXPECT_EQ(flag, IntervalFlag::kept);
}

TEST(CleanFilters, DeviationThresholdIsStrictAndScalesWithTheMedian) {
    // Median of the neighbours is 0.5 (and 1.0); a quarter of it is exactly
    // representable, so the boundary itself is tested.
    FilterSettings f = median_filter();
    f.range = false;
    f.window = 5;
    f.fraction = 0.25;
    for (const double scale : {1.0, 2.0}) {
        const double m = 0.5 * scale;
        const auto at_limit = flag_intervals({m, m, 1.25 * m, m, m}, f);
        EXPECT_EQ(at_limit[2], IntervalFlag::kept);
        const auto below_limit = flag_intervals({m, m, 0.75 * m, m, m}, f);
        EXPECT_EQ(below_limit[2], IntervalFlag::kept);
        const auto over = flag_intervals({m, m, 1.2501 * m, m, m, 0.7499 * m, m, m}, f);
        EXPECT_EQ(over[2], IntervalFlag::deviation);
        EXPECT_EQ(over[5], IntervalFlag::deviation);
        EXPECT_EQ(over[0], IntervalFlag::kept);
    }
}

TEST(CleanFilters, WindowSlidesInwardsAtTheEnds) {
    // Eight missed beats at the start of a 41-beat window: a window truncated
    // at the start would hold 8 long and 12 normal intervals for the first
    // beat and flag it only narrowly; one that keeps its size sees 8 of 40.
    // With a 21-beat window truncated at the start the long run would be the
    // majority; sliding keeps it a minority (8 of 20).
    for (const int window : {21, 41}) {
        auto rr = stationary_rr(400, 11);
        for (int k = 0; k < 8; ++k) rr.seconds[static_cast<std::size_t>(k)] *= 2.0;
        for (int k = 0; k < 8; ++k) rr.seconds[rr.seconds.size() - 1 - static_cast<std::size_t>(k)] *= 0.6;
        FilterSettings f = median_filter();
        f.window = window;
        const auto flags = flag_intervals(rr.seconds, f);
        for (std::size_t i = 0; i < flags.size(); ++i) {
            const bool injected = i < 8 || i >= flags.size() - 8;
            EXPECT_EQ(flags[i] != IntervalFlag::kept, injected) << "window " << window << " beat " << i;
        }
    }
}

TEST(CleanFilters, RangeArtefactsNeverEnterTheMedianWindow) {
    // A long stretch of fragments beyond the range: if they counted as
    // neighbours, the medians beside the stretch would rise and the clean
    // beats there would be flagged.
    auto rr = stationary_rr(600, 5);
    for (std::size_t i = 300; i < 330; ++i) rr.seconds[i] = 2.5;
    const auto flags = flag_intervals(rr.seconds, median_filter());
    for (std::size_t i = 0; i < flags.size(); ++i)
        EXPECT_EQ(flags[i], i >= 300 && i < 330 ? IntervalFlag::out_of_range : IntervalFlag::kept) << "beat " << i;
}

TEST(CleanFilters, TheMedianLeavesTheBeatItselfOut) {
    // 41 beats alternating 0.9 and 1.1 s around one of 1.21 s in the middle.
    // Its 40 neighbours have the median 1.0: 21 % away, flagged. A median
    // that counted the beat itself would be 1.1, 10 % away: kept. Every other
    // beat is within 20 % of its neighbours' median (1.0 or 1.1) either way.
    std::vector<double> s;
    for (int i = 0; i < 41; ++i) s.push_back(i == 20 ? 1.21 : i % 2 == 0 ? 0.9 : 1.1);
    const auto flags = flag_intervals(s, median_filter());
    for (std::size_t i = 0; i < flags.size(); ++i)
        EXPECT_EQ(flags[i], i == 20 ? IntervalFlag::deviation : IntervalFlag::kept) << "beat " << i;
}

TEST(CleanFilters, ShortSeries) {
    FilterSettings f = median_filter();
    EXPECT_TRUE(flag_intervals({}, f).empty());
    EXPECT_EQ(flag_intervals({0.8}, f), std::vector<IntervalFlag>{IntervalFlag::kept});
    // Shorter than the window: every other interval is a neighbour.
    const auto flags = flag_intervals({0.8, 0.82, 1.5, 0.79, 0.81}, f);
    EXPECT_EQ(flags, (std::vector<IntervalFlag>{IntervalFlag::kept, IntervalFlag::kept, IntervalFlag::deviation, IntervalFlag::kept, IntervalFlag::kept}));
}

}  // namespace
}  // namespace nongauss::clean

namespace nongauss::clean {
namespace {

TEST(CleanFilters, TheDetectorTakesTheMedianFiltersPlaceAfterTheRangeFilter) {
    // A run of 30 beats at 0.65 x, which moves the median of 41 and passes
    // the median filter, and a 2.5-s gap, which the range filter takes first
    // and the detector never sees.
    auto rr = nongauss::testing::stationary_rr(3000, 7);
    for (std::size_t i = 1000; i < 1030; ++i) rr.seconds[i] *= 0.65;
    rr.seconds[2000] = 2.5;
    FilterSettings f = median_filter();
    std::size_t median_in_run = 0, detector_in_run = 0, detector_elsewhere = 0;
    for (const IntervalFlag flag : flag_intervals(rr.seconds, f))
        median_in_run += flag == IntervalFlag::deviation;
    f.local = LocalFilter::detector;
    const auto flags = flag_intervals(rr.seconds, f);
    for (std::size_t i = 0; i < flags.size(); ++i) {
        if (i == 2000) EXPECT_EQ(flags[i], IntervalFlag::out_of_range);
        else if (i >= 1000 && i < 1030) detector_in_run += flags[i] == IntervalFlag::short_interval;
        else detector_elsewhere += flags[i] != IntervalFlag::kept;
    }
    EXPECT_LT(median_in_run, 15u);
    EXPECT_EQ(detector_in_run, 30u);
    EXPECT_LE(detector_elsewhere, 3u);
    // The report's counts by kind come from the same flags.
    CleanSettings settings;
    settings.filter = f;
    const Cleaned c = clean_values(rr.seconds, settings);
    EXPECT_EQ(c.by_range, 1u);
    EXPECT_EQ(c.by_deviation, 30u + detector_elsewhere);
    EXPECT_GE(c.by_flag[static_cast<std::size_t>(IntervalFlag::short_interval)], 30u);
    EXPECT_EQ(c.intervals.size(), c.counts.kept);
}

}  // namespace
}  // namespace nongauss::clean
