#include "clean/clean_report.hpp"

#include <cstdarg>
#include <cstdio>

#include "nongauss/tsv_field.hpp"

namespace nongauss::clean {

namespace {

// printf into a std::string; every line of the report goes through here.
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* fmt, ...) {
    char buf[512];
    va_list args;
    va_start(args, fmt);
    const int len = std::vsnprintf(buf, sizeof buf, fmt, args);
    va_end(args);
    if (len < 0) return std::string();
    if (static_cast<std::size_t>(len) < sizeof buf) return std::string(buf, static_cast<std::size_t>(len));
    std::string big(static_cast<std::size_t>(len) + 1, '\0');
    va_start(args, fmt);
    std::vsnprintf(big.data(), big.size(), fmt, args);
    va_end(args);
    big.resize(static_cast<std::size_t>(len));
    return big;
}

}  // namespace

std::string report_text(const CommandLine& settings, const Cleaned& tally,
                        const std::string& destination, const AnnotationFile* file,
                        const IntervalSelection* selection) {
    const char* unit = tally.unit > 1.0 ? "ms" : "s";
    const char* how = !settings.unit ? "from the first interval" : "as given";
    const char* action = settings.replace ? "replaced" : "deleted";
    std::string r;
    if (selection != nullptr)
        r += format("Input file: %s (beat annotations at %.17g ticks per second; %s selection, intervals in s)\n",
                    settings.input.c_str(), selection->tick_hz,
                    std::string(selection_name(selection->all_beats)).c_str());
    else
        r += format("Input file: %s (unit %s, %s)\n", settings.input.c_str(), unit, how);
    if (file != nullptr && selection != nullptr) r += selection_text(*file, *selection);
    if (tally.input.header_lines > 0)
        r += format("header:    %d line%s skipped (the last: \"%s\")\n", tally.input.header_lines,
                    tally.input.header_lines == 1 ? "" : "s", tally.input.last_header.c_str());
    if (tally.input.column > 0) {
        const char d = tally.input.delimiter;
        r += format("column:    %d, fields separated by %s\n", tally.input.column,
                    d == '\t' ? "tabs" : d == ';' ? "semicolons" : d == ',' ? "commas" : "blanks");
    }
    r += format("read:      %zu intervals, %.1f s\n", tally.read(), tally.total_s);
    if (tally.input.stop_line > 0)
        r += format("note:      reading stopped at line %d, at text that does not begin a number\n",
                    tally.input.stop_line);
    if (settings.range_filter)
        r += format("range:     %zu outside [%g s, %g s], %s\n", tally.by_range, settings.min_s,
                    settings.max_s, action);
    else
        r += "range:     off\n";
    const auto by = [&](IntervalFlag flag) { return tally.by_flag[static_cast<std::size_t>(flag)]; };
    if (settings.deviation_filter && settings.cleaning().filter.local == LocalFilter::detector)
        r += format("detector:  %zu flagged (ectopic %zu, missed %zu, extra %zu, long %zu, short %zu), %s\n",
                    tally.by_deviation, by(IntervalFlag::ectopic), by(IntervalFlag::missed), by(IntervalFlag::extra),
                    by(IntervalFlag::long_interval), by(IntervalFlag::short_interval), action);
    else if (settings.deviation_filter)
        r += format("deviation: %zu more than %g %% from the median of %d neighbours, %s\n",
                    tally.by_deviation, settings.deviation_pct, settings.window - 1, action);
    else
        r += "deviation: off\n";
    r += format("flagged:   %zu of %zu beats (%.2f %%), %.1f s (%.2f %% of the recording's time)\n",
                tally.flagged(), tally.read(), tally.flagged_pct(), tally.flagged_s, tally.time_pct());
    // The time left out, over the whole recording (an annotation file's
    // intervals left out by the selection included).
    const FlaggedTime time = file != nullptr && selection != nullptr
                                 ? flagged_time(selection->intervals, combined_flags(*selection, tally))
                                 : flagged_time(tally.seconds, tally.flags);
    if (selection != nullptr)
        r += format("time:      %.1f s flagged or left out by the selection per hour, the longest such stretch %.1f s\n",
                    time.per_hour_s(), time.longest_s);
    else
        r += format("time:      %.1f s flagged per hour, the longest flagged stretch %.1f s\n", time.per_hour_s(),
                    time.longest_s);
    const OutputCounts& c = tally.counts;
    if (destination.empty()) {
        // nothing was written
    } else if (settings.replace) {
        r += format("written:   %zu intervals (%zu kept, %zu interpolated in %zu stretches) to %s\n",
                    c.written(), c.kept, c.interpolated, c.stretches, destination.c_str());
        if (c.unfilled > 0)
            r += format("note:      %zu flagged intervals had no time to fill and were deleted\n",
                        c.unfilled);
    } else {
        r += format("written:   %zu intervals to %s\n", c.written(), destination.c_str());
    }
    if (tally.flagged_pct() > warning_share_pct)
        r += format("warning:   %.2f %% of the beats were flagged (over %g %%): inspect the recording "
                    "before analysing it\n",
                    tally.flagged_pct(), warning_share_pct);
    const std::string untrusted = untrusted_warning(time);
    if (!untrusted.empty()) r += "warning:   " + untrusted + "\n";
    return r;
}

std::string selection_text(const AnnotationFile& file, const IntervalSelection& selection) {
    std::string labels;
    std::size_t annotations = 0;
    for (std::size_t code = 0; code < selection.by_label.size(); ++code) {
        const std::size_t n = selection.by_label[code];
        if (n == 0) continue;
        annotations += n;
        std::string label(file.label(static_cast<std::uint8_t>(code)));
        if (label.empty()) label = "code " + std::to_string(code);
        labels += format("%s%s %zu", labels.empty() ? "" : ", ", label.c_str(), n);
    }
    std::string reasons;
    for (const IntervalFlag flag : all_interval_flags) {
        const std::size_t n = selection.count(flag);
        if (n == 0 || flag == IntervalFlag::kept) continue;
        reasons += format("%s%s %zu", reasons.empty() ? "" : ", ", std::string(interval_flag_name(flag)).c_str(), n);
    }
    std::string r;
    r += format("labels:    %zu annotations: %s\n", annotations, labels.c_str());
    r += format("selection: %zu of %zu beat-to-beat intervals kept (%s)%s%s\n", selection.count(IntervalFlag::kept),
                selection.intervals.size(), std::string(selection_name(selection.all_beats)).c_str(),
                reasons.empty() ? "" : "; left out: ", reasons.c_str());
    return r;
}

std::string summary_line(const CommandLine& settings, const Cleaned& tally) {
    // The name escaped as nongauss escapes its summary's: one field, one line.
    return format("%s\t%zu\t%zu\t%zu\t%.2f\t%.2f\t%zu\n", escaped_field(settings.input).c_str(), tally.read(),
                  tally.by_range, tally.by_deviation, tally.flagged_pct(), tally.time_pct(),
                  tally.counts.written());
}

}  // namespace nongauss::clean
