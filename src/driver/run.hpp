#pragma once

// One whole run of the tool, from the command line to the exit status.

#include "driver/options.hpp"

namespace nongauss {

/// Parses the command line, reads the input and analyses it; returns the exit
/// status (0: completed, or an output file could not be opened; 1: usage error,
/// unreadable or unusable input, a write error). Conditions inside the
/// numerical stages end the process through fatal_error with status 1.
int run_command_line(int argc, char** argv);

/// Everything after the reader: checks rri[1..ndata] (as read), resamples,
/// coarse-grains, writes the TS file, estimates lambda and the densities,
/// writes the PDF file and the summary. Returns the exit status. Releases every
/// array it makes; rri stays allocated (and converted to seconds once the
/// checks have passed).
int analyse_series(const Settings& settings, const Names& names, int ndata);

}  // namespace nongauss
