// Runs the analysis of a file as the tool does (read, then analyse) and prints
// the scale, sd_ms and lambda as exact hexadecimal doubles, one per line, so
// that tests can compare them with the Python module bit for bit.
//
//   nongauss_reference FILE [scale=S] [dt=T] [detrend=D] [fit=normal|svd]
//                           [q=Q] [bins=N] [resample=spline|linear|step]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "nongauss/nongauss.hpp"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: nongauss_reference FILE [key=value ...]\n");
        return 2;
    }
    nongauss::Settings settings;
    for (int i = 2; i < argc; ++i) {
        const std::string word = argv[i];
        const auto eq = word.find('=');
        const std::string key = word.substr(0, eq);
        const std::string value = eq == std::string::npos ? "" : word.substr(eq + 1);
        if (key == "scale") settings.scale = std::strtod(value.c_str(), nullptr);
        else if (key == "dt") settings.dt = std::strtod(value.c_str(), nullptr);
        else if (key == "q") settings.moment_order = std::strtod(value.c_str(), nullptr);
        else if (key == "detrend") settings.degree = std::atoi(value.c_str());
        else if (key == "bins") settings.nbins = std::atoi(value.c_str());
        else if (key == "fit")
            settings.fit = value == "svd" ? nongauss::FitMethod::svd : nongauss::FitMethod::normal_equations;
        else if (key == "resample")
            settings.interpolation = value == "step"     ? nongauss::Interpolation::step
                                     : value == "linear" ? nongauss::Interpolation::linear
                                                         : nongauss::Interpolation::spline;
        else {
            std::fprintf(stderr, "nongauss_reference: unknown setting %s\n", word.c_str());
            return 2;
        }
    }
    try {
        const nongauss::Series series = nongauss::Series::read_file(argv[1]);
        const nongauss::Result r = nongauss::analyse(series, settings);
        std::printf("%a\n%a\n%a\n", r.scale_s, r.sd_ms, r.lambda);
    } catch (const nongauss::Error& e) {
        std::fputs(e.report().c_str(), stderr);
        return 1;
    }
    return 0;
}
