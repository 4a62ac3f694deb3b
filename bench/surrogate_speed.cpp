// The surrogate floor and test of one recording, timed in its two parts
// (making the IAAFT surrogates, analysing them), then as a whole.
//
//   g++ -std=c++20 -O2 -ffp-contract=off -Iinclude -o build/surrogate_speed
//       bench/surrogate_speed.cpp build/libnongauss_core.a -lfftw3 -pthread
//   build/surrogate_speed [--table] RR_FILE [N] [max_iterations] [threads] [scales]
//   build/surrogate_speed --digest RR_FILE [N] [max_iterations] [threads]
//
// Prints one line per part (wall seconds, the iterations' median and maximum,
// how many surrogates stopped on an unchanged rank order) and, with
// --table, the floor and p-value per scale. --digest prints a 64-bit FNV-1a
// digest of the bytes of surrogates 0..N-1 of seed 1 and nothing else.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <sys/resource.h>

#include "nongauss/analysis.hpp"
#include "nongauss/surrogates.hpp"
#include "nongauss/thread_pool.hpp"

namespace {
double seconds_since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}
// Processor time of the process so far (user + system), seconds.
double processor_s() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           1e-6 * static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec);
}
}  // namespace

int main(int argc, char** argv) {
    bool table = false, digest = false;
    std::vector<const char*> args;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--table") == 0) table = true;
        else if (std::strcmp(argv[i], "--digest") == 0) digest = true;
        else args.push_back(argv[i]);
    }
    if (args.empty()) {
        std::fprintf(stderr, "usage: surrogate_speed [--table] RR_FILE [N] [max_iterations] [threads] [scales]\n");
        return 2;
    }
    const int n = args.size() > 1 ? std::atoi(args[1]) : 99;
    const int iterations = args.size() > 2 ? std::atoi(args[2]) : 100;
    const int threads = args.size() > 3 ? std::atoi(args[3]) : 0;
    const int nscales = args.size() > 4 ? std::atoi(args[4]) : 20;
    const nongauss::Series series = nongauss::Series::read_file(args[0]);
    nongauss::SurrogateTestOptions options;
    options.count = n;
    options.surrogates.max_iterations = iterations;
    nongauss::ThreadPool pool(threads);
    options.surrogates.pool = &pool;
    const std::vector<double> scales = nongauss::log_spaced_scales(5, 1000, nscales);

    if (digest) {
        std::uint64_t h = 0xcbf29ce484222325ULL;
        for (const auto& v : nongauss::make_surrogates(series.intervals(), options.seed, n, options.surrogates)) {
            const auto* b = reinterpret_cast<const unsigned char*>(v.data());
            for (std::size_t i = 0; i < v.size() * sizeof(double); ++i) h = (h ^ b[i]) * 0x100000001b3ULL;
        }
        std::printf("%016llx\n", static_cast<unsigned long long>(h));
        return 0;
    }

    auto t0 = std::chrono::steady_clock::now();
    double c0 = processor_s();
    const nongauss::SurrogateMaker maker(series.intervals(), options.surrogates);
    std::vector<nongauss::SurrogateMaker::Info> info(static_cast<std::size_t>(n));
    std::vector<std::vector<double>> made(info.size());
    pool.parallel_parts(0, n, 1, [&](int, long begin, long end) {
        for (long k = begin; k < end; ++k) made[k] = maker.make(options.seed, k, &info[k]);
    }, n);
    const double t_make = seconds_since(t0);
    const double c_make = processor_s() - c0;
    std::vector<int> its;
    int converged = 0;
    for (const auto& i : info) {
        its.push_back(i.iterations);
        converged += i.converged;
    }
    std::sort(its.begin(), its.end());
    std::printf("make: %.3f s (processor %.3f s) for %d surrogates of %zu intervals; iterations median %d, "
                "max %d; %d stopped on an unchanged rank order\n",
                t_make, c_make, n, series.n_beats(), its[its.size() / 2], its.back(), converged);

    {
        // How close the spectrum came: |A_s - A| / |A| over j >= 1 for surrogate 0.
        const std::vector<double> a = nongauss::amplitude_spectrum(maker.make(options.seed, 0));
        double num = 0.0, den = 0.0;
        for (std::size_t j = 1; j < a.size(); ++j) {
            num += (a[j] - maker.amplitude()[j]) * (a[j] - maker.amplitude()[j]);
            den += maker.amplitude()[j] * maker.amplitude()[j];
        }
        std::printf("spectrum: relative error of surrogate 0 %.2f %%\n", 100 * std::sqrt(num / den));
    }

    // Analysing them alone, as the test does (one surrogate per thread).
    t0 = std::chrono::steady_clock::now();
    c0 = processor_s();
    nongauss::ScaleOptions analysis;
    analysis.densities = false;
    analysis.model_density = false;
    pool.parallel_parts(0, n, 1, [&](int, long begin, long end) {
        for (long k = begin; k < end; ++k) {
            const auto s = nongauss::Series::from_intervals(made[k], series.unit());
            (void)nongauss::analyse_scales(s, nongauss::Settings{}, scales, analysis);
        }
    }, n);
    const double t_analyse = seconds_since(t0);
    const double c_analyse = processor_s() - c0;
    std::printf("analyse: %.3f s (processor %.3f s)\n", t_analyse, c_analyse);

    t0 = std::chrono::steady_clock::now();
    c0 = processor_s();
    const auto result = nongauss::surrogate_test(series, nongauss::Settings{}, scales, options);
    const double t_test = seconds_since(t0);
    const double c_test = processor_s() - c0;
    // The shares from processor time of the two passes alone, which the
    // load of other processes changes less than wall time.
    std::printf("test: %.3f s (processor %.3f s) at %d scales (making %.0f %%, analysing %.0f %%)\n", t_test,
                c_test, nscales, 100 * c_make / (c_make + c_analyse), 100 * c_analyse / (c_make + c_analyse));
    if (table) {
        std::printf("scale_s\tlambda\tlambda_floor\tp_surrogate\n");
        for (const auto& r : result)
            std::printf("%.6g\t%.4f\t%.4f\t%.4f\n", r.result.scale_s, r.result.lambda, r.lambda_floor,
                        r.p_surrogate);
    }
    return 0;
}
