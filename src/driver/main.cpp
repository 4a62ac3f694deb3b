// nongauss: non-Gaussian analysis of heart-rate variability.
#include "driver/run.hpp"

int main(int argc, char** argv) { return nongauss::run_command_line(argc, argv); }
