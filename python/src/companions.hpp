#pragma once

// The companions' work on data in memory: the generator of synthetic series.
// It touches no Python objects: callers convert and may run it without the
// interpreter lock.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "nongauss/synth.hpp"

namespace nongauss::python {

/// The intervals nongauss-synth writes for `model` and `format`, as the
/// doubles its text reads back as; `clamped` counts the values clamped.
std::vector<double> synth_intervals(const synth::Model& model, const synth::Format& format,
                                    long& clamped);

}  // namespace nongauss::python
