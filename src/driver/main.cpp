// nongauss: non-Gaussian analysis of heart-rate variability.
#include "driver/options.hpp"
#include "driver/reader.hpp"

int main(int argc, char** argv) {
    using namespace nongauss;

    Settings settings;
    Names names;
    if (!parse_command_line(argc, argv, settings, names)) {
        print_usage();
        return 1;
    }

    const int ndata = read_series(names.input_name.c_str());
    if (ndata < 1) return 1;  // the reader has said why
    return 0;
}
