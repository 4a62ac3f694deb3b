// The codes of annotation files and the choice of intervals by label.
#include <array>
#include <string_view>

#include "nongauss/annotations.hpp"

namespace nongauss {
namespace {

// The labels of the codes 0-63 (PhysioNet's published table of annotation
// codes), "" where a code has none.
constexpr std::array<std::string_view, 64> labels = [] {
    std::array<std::string_view, 64> t{};
    t[1] = "N";    // normal beat
    t[2] = "L";    // left bundle branch block beat
    t[3] = "R";    // right bundle branch block beat
    t[4] = "a";    // aberrated atrial premature beat
    t[5] = "V";    // premature ventricular contraction
    t[6] = "F";    // fusion of ventricular and normal beat
    t[7] = "J";    // nodal (junctional) premature beat
    t[8] = "A";    // atrial premature beat
    t[9] = "S";    // premature or ectopic supraventricular beat
    t[10] = "E";   // ventricular escape beat
    t[11] = "j";   // nodal (junctional) escape beat
    t[12] = "/";   // paced beat
    t[13] = "Q";   // beat that cannot be classified
    t[14] = "~";   // change in signal quality (noise)
    t[16] = "|";   // isolated artefact
    t[18] = "s";   // ST segment change
    t[19] = "T";   // T-wave change
    t[20] = "*";   // systole
    t[21] = "D";   // diastole
    t[22] = "\"";  // comment (note)
    t[23] = "=";   // measurement
    t[24] = "p";   // P-wave peak
    t[25] = "B";   // bundle branch block beat, not further specified
    t[26] = "^";   // non-conducted pacemaker spike
    t[27] = "t";   // T-wave peak
    t[28] = "+";   // change of rhythm
    t[29] = "u";   // U-wave peak
    t[30] = "?";   // beat not classified during learning
    t[31] = "!";   // ventricular flutter wave
    t[32] = "[";   // start of ventricular flutter or fibrillation
    t[33] = "]";   // end of ventricular flutter or fibrillation
    t[34] = "e";   // atrial escape beat
    t[35] = "n";   // supraventricular escape beat
    t[36] = "@";   // link to external data
    t[37] = "x";   // non-conducted P wave (blocked atrial premature beat)
    t[38] = "f";   // fusion of paced and normal beat
    t[39] = "(";   // start of a waveform
    t[40] = ")";   // end of a waveform
    t[41] = "r";   // R-on-T premature ventricular contraction
    return t;
}();

constexpr std::uint8_t code_normal = 1;

}  // namespace

bool is_beat(std::uint8_t code) noexcept {
    return (code >= 1 && code <= 13) || code == 25 || code == 30 || code == 31 || code == 34 || code == 35 ||
           code == 38 || code == 41;
}

bool is_event(std::uint8_t code) noexcept {
    return code == 14 || code == 16 || code == 26 || code == 28 || code == 32 || code == 33 || code == 37;
}

std::string_view annotation_label(std::uint8_t code) noexcept { return code < labels.size() ? labels[code] : ""; }

std::string_view selection_name(bool all_beats) noexcept { return all_beats ? "all beats" : "normal-to-normal"; }

std::vector<double> IntervalSelection::kept_intervals() const {
    std::vector<double> out;
    out.reserve(count(IntervalFlag::kept));
    for (std::size_t k = 0; k < intervals.size(); ++k)
        if (flags[k] == IntervalFlag::kept) out.push_back(intervals[k]);
    return out;
}

IntervalSelection select_intervals(const AnnotationFile& file, bool all_beats) {
    IntervalSelection s;
    s.all_beats = all_beats;
    s.tick_hz = file.tick_hz;
    s.beat_samples.reserve(file.annotations.size());
    s.beat_codes.reserve(file.annotations.size());
    s.intervals.reserve(file.annotations.size());
    s.flags.reserve(file.annotations.size());
    bool event_since_beat = false;
    for (const Annotation& a : file.annotations) {
        ++s.by_label[a.code & 63u];
        if (!is_beat(a.code)) {
            event_since_beat = event_since_beat || is_event(a.code);
            continue;
        }
        if (!s.beat_samples.empty()) {
            s.intervals.push_back(static_cast<double>(a.sample - s.beat_samples.back()) / file.tick_hz);
            IntervalFlag flag = IntervalFlag::kept;
            if (!all_beats) {
                if (a.code != code_normal || s.beat_codes.back() != code_normal)
                    flag = IntervalFlag::not_normal;
                else if (event_since_beat)
                    flag = IntervalFlag::across_event;
            }
            s.flags.push_back(flag);
            ++s.by_reason[static_cast<std::size_t>(flag)];
        }
        s.beat_samples.push_back(a.sample);
        s.beat_codes.push_back(a.code);
        event_since_beat = false;
    }
    return s;
}

}  // namespace nongauss
