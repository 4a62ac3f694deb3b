// The cleaning pipeline: read, flag, tally, write the cleaned series.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "clean/cleaned_series.hpp"
#include "clean/filters.hpp"
#include "nongauss/clean.hpp"

namespace nongauss::clean {

double Cleaned::flagged_pct() const {
    return read() == 0 ? 0.0 : 100.0 * static_cast<double>(flagged()) / static_cast<double>(read());
}

double Cleaned::time_pct() const { return total_s > 0.0 ? 100.0 * flagged_s / total_s : 0.0; }

FlaggedTime flagged_time(std::span<const double> seconds, std::span<const IntervalFlag> flags) {
    FlaggedTime t;
    double stretch = 0.0;
    for (std::size_t i = 0; i < seconds.size() && i < flags.size(); ++i) {
        t.total_s += seconds[i];
        if (flags[i] == IntervalFlag::kept) {
            stretch = 0.0;
            continue;
        }
        t.flagged_s += seconds[i];
        stretch += seconds[i];
        if (stretch > t.longest_s) t.longest_s = stretch;
    }
    return t;
}

std::string untrusted_warning(const FlaggedTime& time) {
    if (!(time.pct() > untrusted_time_pct)) return std::string();
    char text[160];
    std::snprintf(text, sizeof text,
                  "%.2f %% of the recording's time is flagged (over %g %%): lambda of this recording is not to be trusted",
                  time.pct(), untrusted_time_pct);
    return text;
}

Cleaned clean_rr(RRText rr, const CleanSettings& settings) {
    Cleaned c;
    c.input = std::move(rr);
    const std::vector<RRNumber>& numbers = c.input.numbers;
    if (numbers.empty()) {
        c.outcome = CleanOutcome::no_data;
        c.message = "No data was read!";
        return c;
    }
    c.unit_given = settings.unit.has_value();
    c.unit = unit_divisor(settings.unit.value_or(unit_rule(numbers[0].value)));
    c.seconds.resize(numbers.size());
    for (std::size_t i = 0; i < numbers.size(); ++i) c.seconds[i] = numbers[i].value / c.unit;
    c.flags = flag_intervals(c.seconds, settings.filter);
    for (std::size_t i = 0; i < c.seconds.size(); ++i) {
        c.total_s += c.seconds[i];
        ++c.by_flag[static_cast<std::size_t>(c.flags[i])];
        if (c.flags[i] == IntervalFlag::kept) continue;
        c.flagged_s += c.seconds[i];
        if (c.flags[i] == IntervalFlag::out_of_range) ++c.by_range;
        else ++c.by_deviation;
    }
    if (c.flagged() == c.read()) {
        c.outcome = CleanOutcome::none_kept;
        c.message = "No interval was kept!";
        return c;
    }
    c.text = cleaned_text(c.input, c.flags, settings.replace, resolution_decimals(c.input), c.counts,
                          &c.intervals);
    return c;
}

Cleaned clean_values(std::span<const double> values, const CleanSettings& settings) {
    return clean_rr(rr_from_values(values), settings);
}

Cleaned clean_selection(const IntervalSelection& selection, const CleanSettings& settings) {
    CleanSettings in_seconds = settings;
    in_seconds.unit = Unit::seconds;
    return clean_values(selection.kept_intervals(), in_seconds);
}

std::vector<IntervalFlag> combined_flags(const IntervalSelection& selection, const Cleaned& cleaned) {
    std::vector<IntervalFlag> flags = selection.flags;
    std::size_t k = 0;
    for (IntervalFlag& flag : flags)
        if (flag == IntervalFlag::kept && k < cleaned.flags.size()) flag = cleaned.flags[k++];
    return flags;
}

Cleaned clean_file(const std::string& path, const CleanSettings& settings) {
    RRText rr;
    std::string why;
    const ReadOutcome read = read_rr_file(path, settings.read, rr, why);
    if (read == ReadOutcome::ok) return clean_rr(std::move(rr), settings);
    Cleaned c;
    c.input = std::move(rr);
    switch (read) {
        case ReadOutcome::cannot_open:
            if (why == std::strerror(ENOENT) || why == std::strerror(ENOTDIR)) {
                c.outcome = CleanOutcome::not_found;
                c.message = "File " + path + " not found!";
            } else {
                c.outcome = CleanOutcome::cannot_open;
                c.message = "Cannot open input file " + path + ": " + why;
            }
            break;
        case ReadOutcome::read_error:
            c.outcome = CleanOutcome::read_error;
            c.message = "Error while reading input file " + path + "!";
            break;
        default:
            c.outcome = CleanOutcome::bad_input;
            c.message = path + ": " + why;
            break;
    }
    return c;
}

}  // namespace nongauss::clean
