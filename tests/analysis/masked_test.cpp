// The analysis clear of artefacts: without a flag the numbers of the plain
// analysis, bit for bit; with a known artefact the windows that touch it gone
// and every other increment as the plain analysis of the filled series has it.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <vector>

#include "nongauss/analysis.hpp"
#include "nongauss/masked.hpp"
#include "nongauss/stages.hpp"
#include "nongauss/synth.hpp"

namespace {

using nongauss::IntervalFlag;

std::vector<double> synth_ms(double hours, std::uint64_t seed) {
    nongauss::synth::Model model;
    model.hours = hours;
    model.seed = seed;
    std::vector<double> rr;
    for (const auto q : nongauss::synth::generate(model, {}).quanta) rr.push_back(static_cast<double>(q));
    return rr;
}

bool same(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void expect_same_results(const std::vector<nongauss::Result>& a, const std::vector<nongauss::Result>& b) {
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        SCOPED_TRACE("scale " + std::to_string(a[i].scale_s));
        EXPECT_TRUE(same(a[i].sd_s, b[i].sd_s));
        EXPECT_TRUE(same(a[i].lambda_sq, b[i].lambda_sq));
        EXPECT_TRUE(same(a[i].increment_mean_s, b[i].increment_mean_s));
        EXPECT_EQ(a[i].n_increments, b[i].n_increments);
        EXPECT_EQ(a[i].windows_used, b[i].windows_used);
        EXPECT_EQ(b[i].windows_left_out, 0);
        ASSERT_EQ(a[i].p_exp.size(), b[i].p_exp.size());
        EXPECT_EQ(std::memcmp(a[i].p_exp.data(), b[i].p_exp.data(), a[i].p_exp.size() * sizeof(double)), 0);
    }
}

TEST(Masked, WithoutAFlagTheNumbersOfThePlainAnalysis) {
    std::vector<std::vector<double>> recordings = {synth_ms(3.0, 1), synth_ms(2.0, 2)};
    const std::filesystem::path shared = NONGAUSS_SOURCE_DIR "/../shared/data/rri/chf202.txt";
    if (std::filesystem::exists(shared)) recordings.push_back(nongauss::Series::read_file(shared).intervals());
    const std::vector<double> scales = {5.0, 25.0, 300.0};
    for (const auto& rr : recordings) {
        const auto series = nongauss::Series::from_intervals(rr);
        for (const int degree : {3, 0}) {
            nongauss::Settings settings;
            settings.degree = degree;
            nongauss::ScaleOptions options;
            options.model_density = false;
            const auto plain = nongauss::analyse_scales(series, settings, scales, options);
            const std::vector<IntervalFlag> none(rr.size(), IntervalFlag::kept);
            expect_same_results(plain, nongauss::analyse_masked(series, none, settings, scales, options));
            // A masked stretch that holds no point: the masked path, nothing left out.
            options.masked = {{1e12, 2e12}};
            expect_same_results(plain, nongauss::analyse_scales(series, settings, scales, options));
        }
    }
}

TEST(Masked, AKnownArtefactTakesTheWindowsThatTouchItAndNothingElse) {
    std::vector<double> rr = synth_ms(2.0, 5);
    std::vector<IntervalFlag> flags(rr.size(), IntervalFlag::kept);
    // A missed beat and, later, a run of three spurious detections.
    rr[2000] = rr[2000] + rr[2001];
    rr.erase(rr.begin() + 2001);
    flags.pop_back();
    flags[2000] = IntervalFlag::missed;
    for (std::size_t i = 6000; i < 6003; ++i) {
        rr[i] = 150.0;
        flags[i] = IntervalFlag::extra;
    }
    const auto filled = nongauss::fill_flagged(nongauss::Series::from_intervals(rr), flags);
    EXPECT_EQ(filled.stretches, 2u);
    EXPECT_EQ(filled.flagged, 4u);
    EXPECT_EQ(filled.filled, 2u + 1u);  // the missed beat's two, the three short ones' one
    ASSERT_EQ(filled.masked.size(), 2u);

    for (const int degree : {2, 0}) {
        nongauss::Settings settings;
        settings.degree = degree;
        const double scale = 10.0;
        nongauss::ScaleOptions plain_options, masked_options;
        masked_options.masked = filled.masked;
        nongauss::DiscardTranscript t;
        const nongauss::PreparedSeries plain_series(filled.series, settings, t, plain_options);
        const nongauss::PreparedSeries masked_series(filled.series, settings, t, masked_options);
        const auto plain = nongauss::increments_at(plain_series, scale, t, plain_options);
        const auto masked = nongauss::increments_at(masked_series, scale, t, masked_options);
        const long sp = plain.scale_pt();
        const double dt = settings.dt;
        // Window w: points w sp + 1 .. (w + 2) sp with detrending, w + 1 .. w + sp without,
        // point j at (j - 1) dt.
        const long windows = degree > 0 ? plain.count() / sp : plain.count();
        const long per = degree > 0 ? sp : 1;
        std::vector<long> kept;
        for (long w = 0; w < windows; ++w) {
            const double first = degree > 0 ? static_cast<double>(w * sp) * dt : static_cast<double>(w) * dt;
            const double last = first + static_cast<double>((degree > 0 ? 2 * sp : sp) - 1) * dt;
            bool touches = false;
            for (const auto& m : filled.masked) touches = touches || (last >= m.from && first <= m.to);
            if (!touches) kept.push_back(w);
        }
        const long left_out = windows - static_cast<long>(kept.size());
        EXPECT_GE(left_out, degree > 0 ? 2 : 2 * sp);
        EXPECT_LT(left_out, degree > 0 ? 8 : 8 * sp);
        ASSERT_EQ(masked.count(), static_cast<long>(kept.size()) * per);
        // Each kept increment as the plain analysis has it, up to the rounding of the centring.
        std::size_t at = 0;
        double most = 0.0;
        for (const long w : kept)
            for (long k = 0; k < per; ++k, ++at) {
                const double a = masked.centred()[at] + masked.mean_s();
                const double b = plain.centred()[static_cast<std::size_t>(w * per + k)] + plain.mean_s();
                most = std::max(most, std::fabs(a - b) / (std::fabs(b) + std::fabs(plain.mean_s())));
            }
        EXPECT_LT(most, 1e-15);
        // And the windows as the result counts them.
        const auto r = nongauss::complete(masked, masked_series, t);
        EXPECT_EQ(r.windows_used, static_cast<long>(kept.size()));
        EXPECT_EQ(r.windows_left_out, left_out);
    }
}

TEST(Masked, FlagsThatCannotBeFilledAreRefused) {
    const auto series = nongauss::Series::from_intervals({800.0, 810.0, 790.0});
    EXPECT_THROW(nongauss::fill_flagged(series, {IntervalFlag::kept}), nongauss::Error);
    EXPECT_THROW(nongauss::fill_flagged(series, std::vector<IntervalFlag>(3, IntervalFlag::deviation)),
                 nongauss::Error);
    // A flag at either end is filled from the one neighbour there is.
    const auto ends = nongauss::fill_flagged(series, {IntervalFlag::extra, IntervalFlag::kept, IntervalFlag::missed});
    ASSERT_EQ(ends.series.intervals().size(), 3u);
    EXPECT_NEAR(ends.series.intervals()[0], 800.0, 1e-9);
    EXPECT_NEAR(ends.series.intervals()[2], 790.0, 1e-9);
    EXPECT_EQ(ends.masked.front().from, 0.0);
}

}  // namespace
