#pragma once

// The companions' work on data in memory: the cleaner's filters and
// replacement over an array of intervals, and the generator of synthetic
// series. Neither touches Python objects: callers convert and may run these
// without the interpreter lock.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "clean/filters.hpp"
#include "nongauss/series.hpp"
#include "nongauss/synth.hpp"

namespace nongauss::python {

struct CleanOptions {
    /// The intervals' unit; none: the unit rule.
    std::optional<Unit> unit;
    clean::FilterSettings filter;
    bool replace = false;
    /// Called between the stages (text, flags, cleaned text, read-back) on
    /// the calling thread; what it throws ends the call.
    std::function<void()> between_stages = [] {};
};

struct CleanOutput {
    std::vector<double> intervals;            ///< the cleaned series, in the input's unit
    std::vector<unsigned char> flags;         ///< per input interval: 0 kept, 1 range, 2 deviation
    double unit = 1.0;                        ///< 1000: milliseconds; 1: seconds
    std::size_t by_range = 0, by_deviation = 0;
    std::size_t kept = 0, interpolated = 0, stretches = 0, unfilled = 0;
    double flagged_pct = 0.0, time_pct = 0.0;
};

/// Cleans `intervals` (any finite numbers) as nongauss-clean cleans a file
/// holding them, one per line in their shortest exact decimal form: the same
/// flags, kept intervals unchanged, replacements at that text's resolution.
/// Throws Error (input) "No data was read!" for no interval and "No interval
/// was kept!" when every interval is flagged.
CleanOutput clean_intervals(const std::vector<double>& intervals, const CleanOptions& options);

/// The intervals nongauss-synth writes for `model` and `format`, as the
/// doubles its text reads back as; `clamped` counts the values clamped.
std::vector<double> synth_intervals(const synth::Model& model, const synth::Format& format,
                                    long& clamped);

}  // namespace nongauss::python
