#pragma once

// Why an interval of a recording is left out of an analysis: one flag per
// interval, shared by everything that selects or flags intervals (annotation
// labels, the range and median filters, the artefact detector) and by what
// treats the time around them.

#include <cstdint>
#include <string_view>

namespace nongauss {

/// The reason an interval is left out, or `kept`. An interval left out still
/// spans its time: the stretch it covers is a gap in the time axis, not a
/// missing beat.
enum class IntervalFlag : std::uint8_t {
    kept = 0,
    // Chosen by annotation label.
    not_normal,     ///< one of its two beats is not a normal beat
    across_event,   ///< a non-beat annotation (rhythm, noise, artefact, ...) lies between its beats
    // Flagged by a filter.
    out_of_range,   ///< outside the plausible range of intervals
    deviation,      ///< too far from the median of its neighbours
    // Flagged by the artefact detector.
    ectopic,        ///< a premature beat and its compensating pause
    missed,         ///< about twice its neighbours: a beat not detected
    extra,          ///< with its neighbour sums to one: a beat detected twice
    long_interval,  ///< too long, and neither missed nor ectopic
    short_interval, ///< too short, and neither extra nor ectopic
};

/// Every flag in declaration order (for reports that count by reason).
inline constexpr IntervalFlag all_interval_flags[] = {
    IntervalFlag::kept,         IntervalFlag::not_normal, IntervalFlag::across_event,
    IntervalFlag::out_of_range, IntervalFlag::deviation,  IntervalFlag::ectopic,
    IntervalFlag::missed,       IntervalFlag::extra,      IntervalFlag::long_interval,
    IntervalFlag::short_interval};

/// The flag's name in reports and tables: its identifier with '_' as '-'
/// ("kept", "not-normal", ..., "short-interval").
constexpr std::string_view interval_flag_name(IntervalFlag flag) noexcept {
    switch (flag) {
    case IntervalFlag::kept: return "kept";
    case IntervalFlag::not_normal: return "not-normal";
    case IntervalFlag::across_event: return "across-event";
    case IntervalFlag::out_of_range: return "out-of-range";
    case IntervalFlag::deviation: return "deviation";
    case IntervalFlag::ectopic: return "ectopic";
    case IntervalFlag::missed: return "missed";
    case IntervalFlag::extra: return "extra";
    case IntervalFlag::long_interval: return "long-interval";
    case IntervalFlag::short_interval: return "short-interval";
    }
    return "unknown";
}

} // namespace nongauss
