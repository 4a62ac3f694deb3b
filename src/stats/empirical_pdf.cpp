#include "stats/empirical_pdf.hpp"

#include <cmath>
#include <vector>

#include "nongauss/thread_pool.hpp"

namespace nongauss {

namespace {

// Histograms with more bins than this are counted on one core (the counts of
// each core take nbins ints).
constexpr int parallel_bins_limit = 1 << 20;

// The smallest and the largest of x[i] / divisor (the first met where several
// are equal; x[1] / divisor when it is not a number). Division by a positive
// divisor is monotone, so the extremes of x divided give those of the
// quotients: the same doubles wherever they are finite and not zero (equal
// doubles other than zeros have the same bits); otherwise every quotient is
// compared.
void extremes(int n, const double* x, double divisor, double& mn, double& mx) {
    double low = x[1];
    double high = x[1];
    for (int i = 2; i <= n; ++i) {
        if (x[i] < low) low = x[i];
        if (x[i] > high) high = x[i];
    }
    mn = low / divisor;
    mx = high / divisor;
    const auto plain = [](double v) { return std::isfinite(v) && v != 0.0; };
    if (divisor > 0 && std::isfinite(divisor) && plain(mn) && plain(mx)) return;
    mn = x[1] / divisor;
    mx = mn;
    for (int i = 2; i <= n; ++i) {
        const double v = x[i] / divisor;
        if (v < mn) mn = v;
        if (v > mx) mx = v;
    }
}

}  // namespace

void estimate_pdf(int n, const double* x, int nbins, double* bin_centre, double* p_exp, double divisor,
                  ThreadPool& pool) {
    if (n < 1) {
        for (int i = 1; i <= nbins; ++i) {
            bin_centre[i] = 0;
            p_exp[i] = 0;
        }
        return;
    }

    double mn = 0;
    double mx = 0;
    extremes(n, x, divisor, mn, mx);
    if (std::fabs(mn) < std::fabs(mx)) {
        mn = -mx;
    } else {
        mx = -mn;
    }

    // The order of these steps decides which side of w/2 the remainder falls
    // on, and with it the layout of the bins.
    const double w = (mx - mn) / (nbins - 1);
    const double rem = mx - std::floor(mx / w) * w;
    double origin;
    if (w / 2 < rem) {
        origin = (mn - rem) + w / 2;
    } else {
        origin = (mn - rem) - w / 2;
    }

    for (int i = 1; i <= nbins; ++i) {
        bin_centre[i] = i * w + origin;
        p_exp[i] = 0;
    }
    if (!std::isfinite(mx) || mx == 0.0) return;  // no usable range

    const double upper = static_cast<double>(nbins) + 1.0;
    const auto bin_of = [=](double v) {  // 1..nbins, or 0 for no bin
        const double kd = (v - origin) / w + 0.5;
        if (!(kd >= 0.0 && kd < upper)) return 0;  // also rejects NaN
        const int k = static_cast<int>(kd);
        return k >= 1 && k <= nbins ? k : 0;
    };
    if (nbins <= parallel_bins_limit) {
        // Counts are whole numbers, the same in any order of counting: each
        // core counts a part of the values, and the parts are added up.
        const int parts = pool.size();
        std::vector<std::vector<int>> counts(static_cast<std::size_t>(parts));
        for (auto& c : counts) c.assign(static_cast<std::size_t>(nbins) + 1, 0);
        pool.parallel_parts(1, static_cast<long>(n) + 1, 1L << 14, [&](int part, long begin, long end) {
            std::vector<int>& c = counts[static_cast<std::size_t>(part)];
            for (long i = begin; i < end; ++i) ++c[static_cast<std::size_t>(bin_of(x[i] / divisor))];
        }, parts);
        for (const auto& c : counts)
            for (int k = 1; k <= nbins; ++k) p_exp[k] += c[static_cast<std::size_t>(k)];
    } else {
        for (int i = 1; i <= n; ++i) {
            const int k = bin_of(x[i] / divisor);
            if (k != 0) p_exp[k] = p_exp[k] + 1;
        }
    }

    for (int i = 1; i <= nbins; ++i) p_exp[i] = (p_exp[i] / n) / w;
}

}  // namespace nongauss
