// The size and power of the surrogate test (bench/surrogate-validity).
//
//   surrogate_validity N SCALES HOURS PHASE_K SEED FILE...
//
// Each FILE is cut into consecutive pieces of HOURS hours (0: whole), its
// artefacts flagged by the library's detector and filled. PHASE_K > 0: each
// piece gives PHASE_K phase-randomised surrogates (seed SEED), Gaussian linear
// series with the piece's spectrum, and each of those is tested; PHASE_K = 0:
// the pieces themselves are tested (PHASE_K = -1: against phase-randomised
// surrogates instead of IAAFT ones, for the floor). A test: N IAAFT surrogates (seed SEED + 1)
// at every scale of SCALES (comma list). One line per series tested with its
// lambda and p per scale, then per scale the count of p <= 0.05 and of
// p = 1 / (N + 1).
//
// Every series tested is cut at its end to the largest length that is a
// multiple of 16 with no prime factor above 7 (at most 1 % shorter at these
// lengths): FFTW transforms other lengths up to ten times slower, and the
// test itself does not depend on the length chosen.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "nongauss/artefacts.hpp"
#include "nongauss/masked.hpp"
#include "nongauss/surrogates.hpp"
#include "nongauss/thread_pool.hpp"

namespace {

std::size_t smooth_length_below(std::size_t n) {
    for (std::size_t m = n / 16 * 16; m >= 16; m -= 16) {
        std::size_t r = m;
        for (const std::size_t p : {2, 3, 5, 7})
            while (r % p == 0) r /= p;
        if (r == 1) return m;
    }
    return n;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 7) {
        std::fprintf(stderr, "usage: surrogate_validity N SCALES HOURS PHASE_K SEED FILE...\n");
        return 2;
    }
    const int count = std::atoi(argv[1]);
    std::vector<double> scales;
    for (std::string list = argv[2]; !list.empty();) {
        const std::size_t comma = list.find(',');
        scales.push_back(std::atof(list.substr(0, comma).c_str()));
        list = comma == std::string::npos ? "" : list.substr(comma + 1);
    }
    const double hours = std::atof(argv[3]);
    const int phase_k = std::atoi(argv[4]);
    const std::uint64_t seed = std::strtoull(argv[5], nullptr, 10);
    nongauss::ThreadPool pool(0);
    nongauss::Settings settings;
    std::vector<int> below(scales.size(), 0), lowest(scales.size(), 0);
    int tested = 0;
    std::printf("series");
    for (double s : scales) std::printf("\tlambda_%gs\tfloor_%gs\tp_%gs", s, s, s);
    std::printf("\n");
    for (int f = 6; f < argc; ++f) {
        const auto whole = nongauss::Series::read_file(argv[f]);
        const std::vector<double>& x = whole.intervals();
        const double divisor = whole.unit_divisor();
        std::size_t start = 0;
        for (int piece = 0; start < x.size(); ++piece) {
            std::size_t end = start;
            double elapsed = 0.0;
            while (end < x.size() && (hours <= 0 || elapsed < hours * 3600)) elapsed += x[end++] / divisor;
            if (hours > 0 && elapsed < hours * 3600) break;  // a short last piece
            const std::vector<double> part(x.begin() + static_cast<long>(start), x.begin() + static_cast<long>(end));
            start = end;
            std::vector<double> seconds = part;
            for (double& v : seconds) v /= divisor;
            const auto filled =
                nongauss::fill_flagged(nongauss::Series::from_intervals(part, whole.unit()), nongauss::detect_artefacts(seconds));
            std::vector<double> filled_x = filled.series.intervals();
            filled_x.resize(smooth_length_below(filled_x.size()));
            std::vector<std::vector<double>> series;
            if (phase_k > 0) {
                nongauss::SurrogateOptions phase;
                phase.kind = nongauss::SurrogateKind::phase_randomised;
                phase.pool = &pool;
                series = nongauss::make_surrogates(filled_x, seed + static_cast<std::uint64_t>(1000 * f + piece),
                                                   phase_k, phase);
            } else {
                series.push_back(filled_x);
            }
            for (std::size_t k = 0; k < series.size(); ++k) {
                nongauss::SurrogateTestOptions test;
                test.count = count;
                test.seed = seed + 1;
                test.surrogates.pool = &pool;
                if (phase_k < 0) test.surrogates.kind = nongauss::SurrogateKind::phase_randomised;
                // Phase-randomised series are Gaussian, without artefacts;
                // a piece analysed as it is leaves its artefacts' windows out.
                if (phase_k <= 0) test.masked = filled.masked;
                const auto r = nongauss::surrogate_test(nongauss::Series::from_intervals(series[k], whole.unit()),
                                                        settings, scales, test);
                std::printf("%s:%d:%zu", argv[f], piece, k);
                for (std::size_t i = 0; i < scales.size(); ++i) {
                    std::printf("\t%.4f\t%.4f\t%.4f", r[i].result.lambda, r[i].lambda_floor, r[i].p_surrogate);
                    below[i] += r[i].p_surrogate <= 0.05;
                    lowest[i] += r[i].p_surrogate == 1.0 / (count + 1);
                }
                std::printf("\n");
                std::fflush(stdout);
                ++tested;
            }
        }
    }
    std::printf("\n%d series, %d IAAFT surrogates each\nscale_s\tp<=0.05\tp=1/(N+1)\n", tested, count);
    for (std::size_t i = 0; i < scales.size(); ++i) std::printf("%g\t%d\t%d\n", scales[i], below[i], lowest[i]);
    return 0;
}
