#include "prep/resample.hpp"

#include <atomic>
#include <climits>

#include "nongauss/thread_pool.hpp"
#include "numeric/arrays.hpp"
#include "numeric/fatal_error.hpp"
#include "numeric/spline.hpp"

namespace nongauss {

long scale_in_points(double scale, double dt) {
    const double ratio = scale / dt + 0.5;
    if (!(ratio < static_cast<double>(LONG_MAX))) return LONG_MAX;
    const long points = static_cast<long>(ratio);
    return points < 1 ? 1 : points;
}


namespace {

void resample_with_cursor(const double* rri, int ndata, double dt, bool linear, double* out,
                          int nres) {
    int k = 1;
    double tend = rri[1];
    for (int j = 1; j <= nres; ++j) {
        const double t = (j - 1) * dt;
        while (t > tend && k < ndata - 1) {  // linear interpolation reads rri[k + 1]
            ++k;
            tend = tend + rri[k];
        }
        if (linear) {
            const double slope = (rri[k + 1] - rri[k]) / rri[k];
            out[j] = (t - tend) * slope + rri[k + 1];
        } else {
            out[j] = rri[k];
        }
    }
}

void resample_with_spline(const double* rri, int ndata, double dt, double* out, int nres, ThreadPool& pool) {
    // The knots are (start time of interval i, rri[i]).
    const OwnedVector knot_time(1, ndata);
    const double* knot_value = rri;
    const OwnedVector y2(1, ndata);
    double elapsed = 0.0;
    for (int i = 1; i <= ndata; ++i) {
        knot_time[i] = elapsed;
        elapsed = elapsed + rri[i];
    }
    spline_coeffs(knot_time, knot_value, ndata, 1e30, 1e30, y2);
    if (ndata < 2) {
        for (int j = 1; j <= nres; ++j) spline_eval(knot_time, knot_value, y2, ndata, (j - 1) * dt, &out[j]);
    } else {
        // The grid points ascend and the knot times never decrease, so the
        // interval that spline_eval's bisection would find for each point is
        // reached by moving forward from the one before. Each part of the grid
        // starts with the bisection and stops at the first interval of width 0,
        // where spline_eval would end the process (done below, on this thread).
        std::atomic<long> first_bad{LONG_MAX};
        pool.parallel_parts(1, static_cast<long>(nres) + 1, 4096, [&](int, long begin, long end) {
            int lo = spline_interval(knot_time, ndata, (static_cast<int>(begin) - 1) * dt);
            for (long jl = begin; jl < end; ++jl) {
                const int j = static_cast<int>(jl);
                const double t = (j - 1) * dt;
                while (lo < ndata - 1 && knot_time[lo + 1] <= t) ++lo;
                if (knot_time[lo + 1] - knot_time[lo] == 0.0) {
                    long seen = first_bad.load();
                    while (jl < seen && !first_bad.compare_exchange_weak(seen, jl)) {
                    }
                    return;
                }
                out[j] = spline_piece(knot_time, knot_value, y2, lo, lo + 1, t);
            }
        });
        if (first_bad.load() != LONG_MAX) fatal_error("Bad xa input to routine splint");
    }
}

}  // namespace

void resample(const double* rri, int ndata, double dt, Interpolation method, double* out, int nres,
              ThreadPool& pool) {
    if (method == Interpolation::spline)
        resample_with_spline(rri, ndata, dt, out, nres, pool);
    else
        resample_with_cursor(rri, ndata, dt, method == Interpolation::linear, out, nres);
}

}  // namespace nongauss
