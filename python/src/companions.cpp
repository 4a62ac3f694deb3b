#include "companions.hpp"

#include <charconv>
#include <cmath>
#include <stdexcept>

#include "clean/clean_report.hpp"
#include "clean/cleaned_series.hpp"
#include "clean/rr_text.hpp"
#include "nongauss/error.hpp"

namespace nongauss::python {

namespace {

// The intervals as the text of a file: one per line, each in the shortest
// decimal form that reads back as the same double.
clean::RRText as_text(const std::vector<double>& intervals) {
    clean::RRText rr;
    rr.texts.reserve(intervals.size() * 8);
    rr.numbers.reserve(intervals.size());
    char buffer[64];
    for (const double value : intervals) {
        const auto written = std::to_chars(buffer, buffer + sizeof buffer, value);
        if (written.ec != std::errc()) throw std::logic_error("interval not representable as text");
        const auto length = static_cast<std::size_t>(written.ptr - buffer);
        rr.numbers.push_back({rr.texts.size(), length, value});
        rr.texts.append(buffer, length);
    }
    return rr;
}

}  // namespace

CleanOutput clean_intervals(const std::vector<double>& intervals, const CleanOptions& options) {
    if (intervals.empty()) throw Error(ErrorKind::input, "No data was read!");
    const clean::RRText rr = as_text(intervals);
    options.between_stages();

    CleanOutput out;
    out.unit = unit_divisor(options.unit.value_or(unit_rule(intervals[0])));
    std::vector<double> seconds(intervals.size());
    for (std::size_t i = 0; i < seconds.size(); ++i) seconds[i] = intervals[i] / out.unit;
    const std::vector<clean::Flag> flags = clean::flag_intervals(seconds, options.filter);
    options.between_stages();

    clean::Tally tally = clean::tally_flags(seconds, flags, out.unit);
    if (tally.flagged() == tally.read) throw Error(ErrorKind::input, "No interval was kept!");
    const std::string text = clean::cleaned_text(rr, flags, options.replace,
                                                 clean::resolution_decimals(rr), tally.counts);
    options.between_stages();

    clean::RRText cleaned;
    std::string message;
    if (clean::read_rr_text(text, clean::ReadSettings{}, cleaned, message) != clean::ReadOutcome::ok)
        throw std::logic_error("the cleaned intervals do not read back: " + message);
    out.intervals.reserve(cleaned.numbers.size());
    for (const clean::RRNumber& number : cleaned.numbers) out.intervals.push_back(number.value);

    out.flags.reserve(flags.size());
    for (const clean::Flag flag : flags) out.flags.push_back(static_cast<unsigned char>(flag));
    out.by_range = tally.by_range;
    out.by_deviation = tally.by_deviation;
    out.kept = tally.counts.kept;
    out.interpolated = tally.counts.interpolated;
    out.stretches = tally.counts.stretches;
    out.unfilled = tally.counts.unfilled;
    out.flagged_pct = tally.flagged_pct();
    out.time_pct = tally.time_pct();
    return out;
}

std::vector<double> synth_intervals(const synth::Model& model, const synth::Format& format,
                                    long& clamped) {
    const synth::Series series = synth::generate(model, format);
    clamped = series.clamped;
    // quanta / 10^decimals: both exact, so the one rounded division gives the
    // double nearest the decimal text, which is what reading the text gives.
    double per_unit = 1.0;
    for (int k = 0; k < format.decimals; ++k) per_unit *= 10.0;
    std::vector<double> intervals(series.quanta.size());
    for (std::size_t i = 0; i < intervals.size(); ++i)
        intervals[i] = static_cast<double>(series.quanta[i]) / per_unit;
    return intervals;
}

}  // namespace nongauss::python
