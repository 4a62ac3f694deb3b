// The bootstrap's SE of lambda against the spread between the two 12-hour
// halves of each recording (bench/bootstrap): for every recording given and
// every block length, per scale, lambda of each half and the bootstrap SE of
// each half; then the within-subject SD, sqrt(mean over recordings of
// (lambda_1 - lambda_2)^2 / 2), beside the mean bootstrap SE of a half.
//
//   bootstrap_spread REPLICATES BLOCKS_S(comma list) FILE...

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "nongauss/analysis.hpp"
#include "nongauss/artefacts.hpp"
#include "nongauss/masked.hpp"
#include "nongauss/bootstrap.hpp"
#include "nongauss/series.hpp"
#include "nongauss/thread_pool.hpp"

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: bootstrap_spread REPLICATES BLOCKS_S FILE...\n");
        return 2;
    }
    const int replicates = std::atoi(argv[1]);
    std::vector<double> blocks;
    for (std::string list = argv[2]; !list.empty();) {
        const std::size_t comma = list.find(',');
        blocks.push_back(std::atof(list.substr(0, comma).c_str()));
        list = comma == std::string::npos ? "" : list.substr(comma + 1);
    }
    const std::vector<double> scales = {5.0, 25.0, 100.0, 300.0};
    nongauss::ThreadPool pool(0);
    nongauss::Settings settings;
    nongauss::ScaleOptions options;
    options.densities = false;
    options.increments = true;
    options.pool = &pool;
    // diff[s]: squared half differences; se[b][s]: bootstrap SEs of halves.
    std::vector<double> diff2(scales.size(), 0.0);
    std::vector<std::vector<double>> se_sum(blocks.size(), std::vector<double>(scales.size(), 0.0));
    int recordings = 0, halves = 0;
    std::printf("file\thalf\tscale_s\tlambda\twindows_left_out");
    for (double b : blocks) std::printf("\tse_%gs", b);
    std::printf("\n");
    for (int f = 3; f < argc; ++f) {
        const nongauss::Series whole = nongauss::Series::read_file(argv[f]);
        if (whole.duration_s() < 20 * 3600) {
            std::fprintf(stderr, "%s: %.1f h, under 20 h: left out\n", argv[f], whole.duration_s() / 3600);
            continue;
        }
        // The halves: the intervals up to 12 h and those after.
        const std::vector<double>& x = whole.intervals();
        double elapsed = 0.0;
        std::size_t cut = 0;
        while (cut < x.size() && elapsed < 12 * 3600.0) elapsed += x[cut++] / whole.unit_divisor();
        std::vector<double> lambda[2];
        for (int h = 0; h < 2; ++h) {
            const std::vector<double> part(h == 0 ? x.begin() : x.begin() + static_cast<long>(cut),
                                           h == 0 ? x.begin() + static_cast<long>(cut) : x.end());
            const auto series = nongauss::Series::from_intervals(part, whole.unit());
            std::vector<double> seconds = part;
            for (double& v : seconds) v /= series.unit_divisor();
            const auto results =
                nongauss::analyse_masked(series, nongauss::detect_artefacts(seconds), settings, scales, options);
            for (std::size_t s = 0; s < scales.size(); ++s) {
                lambda[h].push_back(results[s].lambda);
                std::printf("%s\t%d\t%g\t%.4f\t%ld", argv[f], h + 1, scales[s], results[s].lambda,
                            results[s].windows_left_out);
                for (std::size_t b = 0; b < blocks.size(); ++b) {
                    nongauss::BootstrapOptions bo;
                    bo.replicates = replicates;
                    bo.block_s = blocks[b];
                    bo.pool = &pool;
                    const double se = nongauss::bootstrap_result(results[s], settings, bo).lambda_se;
                    se_sum[b][s] += se;
                    std::printf("\t%.4f", se);
                }
                std::printf("\n");
                std::fflush(stdout);
            }
            ++halves;
        }
        for (std::size_t s = 0; s < scales.size(); ++s)
            diff2[s] += (lambda[0][s] - lambda[1][s]) * (lambda[0][s] - lambda[1][s]);
        ++recordings;
    }
    std::printf("\nsummary over %d recordings (%d halves), %d replicates\nscale_s\twithin_subject_sd", recordings,
                halves, replicates);
    for (double b : blocks) std::printf("\tmean_se_%gs", b);
    std::printf("\n");
    for (std::size_t s = 0; s < scales.size(); ++s) {
        std::printf("%g\t%.4f", scales[s], std::sqrt(diff2[s] / recordings / 2));
        for (std::size_t b = 0; b < blocks.size(); ++b) std::printf("\t%.4f", se_sum[b][s] / halves);
        std::printf("\n");
    }
    return 0;
}
