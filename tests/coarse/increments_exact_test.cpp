// The fast coarse-graining against its plain form, bit for bit: moving sums
// formed afresh for every increment, and one least-squares fit and one
// poly_eval per point for every window.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <random>
#include <vector>

#include "coarse/increments.hpp"
#include "nongauss/transcript.hpp"
#include "numeric/arrays.hpp"
#include "numeric/lsq_normal.hpp"
#include "numeric/lsq_svd.hpp"
#include "support/pool.hpp"
#include "support/numbers.hpp"

namespace nongauss {
namespace {

using nongauss::testing::same_bits;

std::vector<double> series(int n, std::uint64_t seed) {
    std::mt19937_64 rng(seed);
    std::normal_distribution<double> d(0.0, 0.05);
    std::vector<double> r(static_cast<std::size_t>(n) + 1, 0.0);
    for (int i = 1; i <= n; ++i) r[static_cast<std::size_t>(i)] = d(rng);
    return r;
}

// Increments before centring, the plain way.
constexpr FitMethod normal = FitMethod::normal_equations, svd = FitMethod::svd;

std::vector<double> plain_increments(const std::vector<double>& r, int nres, int sp, int ncoef, FitMethod method) {
    std::vector<double> cg;
    if (ncoef <= 1) {
        for (int i = 1; i <= nres - sp + 1; ++i) {
            double s = 0.0;
            for (int k = i; k <= i + sp - 1; ++k) s = s + r[static_cast<std::size_t>(k)];
            cg.push_back(s);
        }
        return cg;
    }
    std::vector<double> profile(static_cast<std::size_t>(nres) + 1);
    profile[1] = r[1];
    for (int i = 2; i <= nres; ++i) profile[static_cast<std::size_t>(i)] = profile[static_cast<std::size_t>(i - 1)] + r[static_cast<std::size_t>(i)];
    const int width = 2 * sp;
    std::vector<double> x(static_cast<std::size_t>(width) + 1), y(static_cast<std::size_t>(width) + 1), a(static_cast<std::size_t>(ncoef) + 1);
    for (int k = 1; k <= width; ++k) x[static_cast<std::size_t>(k)] = k;
    for (int s = 1; s <= (nres / sp - 1) * sp; s += sp) {
        for (int k = 1; k <= width; ++k) y[static_cast<std::size_t>(k)] = profile[static_cast<std::size_t>(s + k - 1)];
        double chisq = 0.0;
        if (method == svd)
            fit_svd(x.data(), y.data(), width, a.data(), ncoef, &chisq);
        else
            fit_normal_eq(x.data(), y.data(), width, a.data(), ncoef, &chisq);
        for (int k = 1; k <= width; ++k) y[static_cast<std::size_t>(k)] -= poly_eval(x[static_cast<std::size_t>(k)], a.data(), ncoef);
        for (int k = 1; k <= sp; ++k) cg.push_back(y[static_cast<std::size_t>(k + sp)] - y[static_cast<std::size_t>(k)]);
    }
    return cg;
}

TEST(IncrementsExact, SameBitsAsThePlainComputation) {
    struct Case {
        int nres, sp, ncoef;
        FitMethod method;
    };
    // Long enough for the windows and the sums to be split over the cores;
    // scales that leave partial blocks of sums and windows.
    for (const Case c : {Case{20000, 1, 1, normal}, Case{20000, 37, 1, normal}, Case{9001, 100, 0, normal},
                         Case{20000, 5, 4, normal}, Case{20000, 100, 4, svd}, Case{12345, 33, 6, normal},
                         Case{12345, 33, 2, svd}, Case{600, 300, 3, normal}}) {
        const std::vector<double> r = series(c.nres, static_cast<std::uint64_t>(c.nres + c.sp));
        const std::vector<double> want = plain_increments(r, c.nres, c.sp, c.ncoef, c.method);
        std::vector<double> profile(r.size());
        running_sum(r.data(), c.nres, profile.data());
        // The shared-abscissae fit, and every window fitted on its own.
        for (const WindowFits fits : {WindowFits::by_size, WindowFits::each_window}) {
            DiscardTranscript discard;
            const Increments inc = coarse_grain(r.data(), c.nres, 100, c.sp, c.ncoef, c.method,
                                                [&] { return profile.data(); }, discard, nongauss::testing::pool_of(), fits);
            ASSERT_EQ(inc.count, static_cast<int>(want.size())) << c.nres << " " << c.sp << " " << c.ncoef;
            double sum = 0.0;
            for (double v : want) sum = sum + v;
            const double mean = sum / inc.count;
            int differ = 0;
            for (int i = 1; i <= inc.count; ++i)
                differ += !same_bits(inc.centred[i], want[static_cast<std::size_t>(i - 1)] - mean);
            EXPECT_EQ(differ, 0) << c.nres << " " << c.sp << " " << c.ncoef << " svd " << (c.method == svd)
                                 << " each window " << (fits == WindowFits::each_window);
        }
    }
}

// The two detrending paths side by side on windows that a fault in the window
// stepping, the window start or the residual pairing would move: every
// increment the same bits, including the standard deviation.
TEST(IncrementsExact, PerWindowPathEqualsSharedPath) {
    for (const int sp : {1, 2, 3, 7, 64}) {
        for (const int nres : {2 * sp, 2 * sp + 1, 3 * sp - 1, 5 * sp + 2, 40 * sp + 3}) {
            const std::vector<double> r = series(nres, static_cast<std::uint64_t>(nres * 31 + sp));
            std::vector<double> profile(r.size());
            running_sum(r.data(), nres, profile.data());
            for (const int ncoef : {2, 4}) {
                for (const FitMethod method : {normal, svd}) {
                    DiscardTranscript discard;
                    const auto source = [&] { return profile.data(); };
                    const Increments shared = coarse_grain(r.data(), nres, 100, sp, ncoef, method, source, discard, nongauss::testing::pool_of());
                    const Increments each = coarse_grain(r.data(), nres, 100, sp, ncoef, method, source, discard, nongauss::testing::pool_of(),
                                                        WindowFits::each_window);
                    ASSERT_EQ(shared.count, each.count);
                    ASSERT_EQ(shared.count, (nres / sp - 1) * sp);
                    EXPECT_TRUE(same_bits(shared.sd_s, each.sd_s));
                    for (int i = 1; i <= shared.count; ++i)
                        ASSERT_TRUE(same_bits(shared.centred[i], each.centred[i]))
                            << "sp " << sp << " nres " << nres << " ncoef " << ncoef << " svd " << (method == svd) << " i " << i;
                }
            }
        }
    }
}

// The moving sums split over 1, 2 and 4 threads, at scales around the
// sixteen sums formed at a time: every sum formed afresh, the same bits.
TEST(IncrementsExact, MovingSumsOnAnyNumberOfThreads) {
    for (const int nres : {17, 3000})
        for (const int sp : {1, 2, 15, 16, 17})
            for (const int threads : {1, 2, 4}) {
                const std::vector<double> r = series(nres, 5);
                const std::vector<double> want = plain_increments(r, nres, sp, 1, normal);
                DiscardTranscript discard;
                const Increments inc = coarse_grain(r.data(), nres, 100, sp, 1, normal, [] { return nullptr; },
                                                    discard, nongauss::testing::pool_of(threads));
                ASSERT_EQ(inc.count, static_cast<int>(want.size()));
                double sum = 0.0;
                for (double v : want) sum = sum + v;
                const double mean = sum / inc.count;
                for (int i = 1; i <= inc.count; ++i)
                    ASSERT_TRUE(same_bits(inc.centred[i], want[static_cast<std::size_t>(i - 1)] - mean))
                        << nres << " " << sp << " " << threads << " " << i;
            }
}

}  // namespace
}  // namespace nongauss
