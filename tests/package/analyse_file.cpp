// Analyses the file named on the command line at one scale and prints what a
// user of the installed library would take from it.
#include <cstdio>

#include "nongauss/nongauss.hpp"

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    try {
        nongauss::ThreadPool pool(2);
        nongauss::ScaleOptions options;
        options.pool = &pool;
        nongauss::Settings settings;
        nongauss::apply_value_option('s', argv[2], settings);
        const nongauss::Series series = nongauss::Series::read_file(argv[1]);
        const nongauss::Result r = nongauss::analyse(series, settings, options);
        std::printf("%zu beats, scale %g s, sd %.6f s, lambda %.6f\n", series.n_beats(), r.scale_s, r.sd_s,
                    r.lambda);
    } catch (const nongauss::Error& e) {
        std::fprintf(stderr, "%s", e.what());
        return 1;
    }
    return 0;
}
