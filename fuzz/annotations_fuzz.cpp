// Fuzz target: the annotation file reader and the header line on arbitrary bytes.
//
// Besides memory safety and no undefined behaviour: the reader either fails
// with an input error or gives annotations whose times never decrease, at
// least one beat, and fields within their ranges; both selections have one
// interval fewer than beats, every interval positive, the flags counted by
// reason and the annotations by label, and the intervals add up to the time
// from the first beat to the last. The same bytes as a header give an input
// error or a positive finite sampling frequency.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "nongauss/annotations.hpp"
#include "nongauss/error.hpp"
#include "scratch.hpp"

namespace {

void check_selection(const nongauss::AnnotationFile& file, bool all_beats) {
    using nongauss::fuzzing::require;
    const nongauss::IntervalSelection s = nongauss::select_intervals(file, all_beats);
    require(!s.beat_samples.empty() && s.beat_samples.size() == s.beat_codes.size(), "beats");
    require(s.intervals.size() + 1 == s.beat_samples.size() && s.flags.size() == s.intervals.size(), "one interval fewer");
    std::size_t by_reason = 0, by_label = 0;
    for (const std::size_t n : s.by_reason) by_reason += n;
    for (const std::size_t n : s.by_label) by_label += n;
    require(by_reason == s.intervals.size(), "every interval has one reason");
    require(by_label == file.annotations.size(), "every annotation has one label");
    require(!all_beats || s.count(nongauss::IntervalFlag::kept) == s.intervals.size(), "all beats keeps all");
    long double ticks = 0;
    for (std::size_t k = 0; k < s.intervals.size(); ++k) {
        require(s.intervals[k] > 0 && std::isfinite(s.intervals[k]), "intervals positive");
        require(nongauss::is_beat(s.beat_codes[k]), "beats are beats");
        ticks += static_cast<long double>(s.beat_samples[k + 1] - s.beat_samples[k]);
    }
    require(ticks == static_cast<long double>(s.beat_samples.back() - s.beat_samples.front()), "ticks add up");
    require(s.kept_intervals().size() == s.count(nongauss::IntervalFlag::kept), "kept");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using nongauss::fuzzing::require;
    try {
        const nongauss::AnnotationFile file = nongauss::parse_annotations({data, size}, 360, "f.atr");
        require(file.tick_hz > 0 && std::isfinite(file.tick_hz), "tick rate");
        require(file.annotations.size() <= size / 2, "at most one annotation per word");
        std::int64_t last = 0;
        for (const nongauss::Annotation& a : file.annotations) {
            require(a.sample >= last, "times never decrease");
            require(a.code <= 49 && a.aux.size() <= 255, "fields in range");
            last = a.sample;
        }
        check_selection(file, false);
        check_selection(file, true);
    } catch (const nongauss::Error& e) {
        require(e.kind() == nongauss::ErrorKind::input, "reading fails only for its input");
        require(e.message().rfind("Annotation file f.atr: ", 0) == 0, "the message names the file");
    }
    try {
        const nongauss::RecordHeader h =
            nongauss::parse_header(std::string_view(reinterpret_cast<const char*>(data), size), "f.hea");
        require(h.sampling_hz > 0 && std::isfinite(h.sampling_hz) && h.signals >= 0 && !h.record.empty(), "header");
    } catch (const nongauss::Error& e) {
        require(e.kind() == nongauss::ErrorKind::input, "a header fails only for its input");
    }
    return 0;
}
