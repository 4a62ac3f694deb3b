#pragma once

// What the report of one recording shows, computed: the series, its flags
// and their tallies, the analysis at every scale (the numbers nongauss-scan
// prints for the same settings), the surrogate floor and test, the densities
// at up to three scales, and the warnings in plain words.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "nongauss/bootstrap.hpp"
#include "nongauss/interval_flags.hpp"
#include "nongauss/result.hpp"
#include "nongauss/series.hpp"
#include "nongauss/surrogates.hpp"
#include "nongauss/thread_pool.hpp"
#include "nongauss/report.hpp"

namespace nongauss::report {

/// The flagged intervals of a recording, tallied.
struct FlagTally {
    /// Intervals per flag, indexed by the flag's value (kept first).
    std::array<std::size_t, std::size(all_interval_flags)> by_kind{};
    std::size_t flagged = 0;        ///< intervals not kept
    double total_s = 0.0;           ///< sum of all intervals, seconds
    double flagged_s = 0.0;         ///< sum of the flagged intervals, seconds
    std::size_t longest_beats = 0;  ///< the longest stretch of consecutive flagged intervals
    double longest_s = 0.0;         ///< ... its time, seconds
    double longest_start_s = 0.0;   ///< ... where it starts, seconds from the first beat
    double beats_pct() const;       ///< flagged share of the intervals, percent
    double time_pct() const;        ///< flagged share of the time, percent
    double per_hour_s() const;      ///< flagged seconds per hour of recording
};

/// Tallies `flags` over `seconds` (one flag per interval, intervals in s).
FlagTally tally(const std::vector<double>& seconds, const std::vector<IntervalFlag>& flags);

struct Recording {
    std::string input;
    std::string sha256;
    std::optional<Series> series;         ///< the series analysed (the cleaned one with clean); none when unread
    std::optional<Error> error;           ///< why there is no series, or the whole analysis failed
    std::vector<double> seconds;          ///< the intervals as read, in seconds
    std::size_t cleaned_written = 0;      ///< with clean: intervals of the cleaned series
    std::size_t cleaned_interpolated = 0; ///< ... of them made by replacement
    std::vector<IntervalFlag> flags;      ///< one per interval (all kept without the detector)
    FlagTally flag_tally;
    std::vector<Result> scales;           ///< analyse_scales at options.scales, no densities
    std::vector<SurrogateScale> surrogates;  ///< empty without surrogates
    std::vector<BootstrapScale> spread;   ///< per scale; empty without the bootstrap
    std::vector<Result> densities;        ///< at the density scales
    std::vector<std::string> plain_warnings;  ///< every warning, in plain words
};

/// Analyses the recording `options.input` as options say, on `pool`. Never
/// throws for the file's problems: they are in `error` and the results.
Recording analyse_recording(const ReportOptions& options, ThreadPool& pool);

/// The density scales: options.density_scales, or the first, middle and last
/// of options.scales (fewer when there are fewer scales).
std::vector<double> density_scales(const ReportOptions& options);

/// The lowest and highest of the central 95 % of `values` (empty: NaN).
std::pair<double, double> central_range(std::vector<double> values);

}  // namespace nongauss::report
