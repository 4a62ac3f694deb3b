#pragma once

// PhysioNet beat annotation files (RECORD.ANNOTATOR, with the record's header
// RECORD.hea beside it) and the choice of beat-to-beat intervals by label.
//
// The file is a stream of 16-bit little-endian words. A word's code is its top
// six bits (word >> 10), its field its low ten bits (word & 0x3FF):
//   0 with field 0   the end of the file;
//   0-49             an annotation of that code, `field` ticks after the one
//                    before it (the first: after tick 0); code 0 (with a field
//                    that is not 0) marks no beat and has no label;
//   59 SKIP          two more words follow, the high half first, each little
//                    endian: a signed 32-bit count of ticks added to the time
//                    of the next annotation (several SKIPs add up);
//   60 NUM           the low eight bits of the field, as a signed byte, are the
//                    `num` of the annotation just read and of those after it;
//   61 SUB           the same for its `sub`, of that annotation only;
//   62 CHN           the same for its `chan`, and of those after it;
//   63 AUX           field & 0xFF bytes of text follow, and one byte of padding
//                    when that count is odd: the annotation's `aux`.
// NUM, SUB, CHN and AUX follow the annotation they belong to.
//
// Times are ticks: samples of the record at the header's sampling frequency,
// unless NOTE annotations (code 22) at tick 0, before any other kind, carry the
// text "## time resolution: F", F the ticks per second. Such leading notes may
// also define labels of their own: between the notes "## annotation type
// definitions" and "## end of definitions", each "CODE LABEL DESCRIPTION".
//
// Every error is an nongauss::Error of kind input whose message names the file
// and, for the annotation file, the byte offset of the word at fault:
//   "Annotation file F not found"  /  "Error while reading annotation file F"
//   "Annotation file F: no header: H not found"     (RECORD.hea beside it)
//   "Annotation file F: no header: its name has no .ANNOTATOR suffix"
//   "Error while reading header H"
//   "Header H: no record line"
//   "Header H: line L is not a record line (name, number of signals, ...)"
//   "Header H: no usable sampling frequency 'TEXT' on line L"  (usable: a
//                                          number from 1e-3 to 1e12, as is a
//                                          time resolution)
//   "Annotation file F: no usable sampling frequency (FS)"   (parse_annotations)
//   "Annotation file F: truncated word at byte N"   (an odd byte at the end)
//   "Annotation file F: truncated SKIP at byte N"
//   "Annotation file F: truncated AUX at byte N"    (text or padding missing)
//   "Annotation file F: unknown code C at byte N"   (50-58)
//   "Annotation file F: NUM follows no annotation at byte N"   (also SUB, CHN,
//                                          AUX: first in the file or after SKIP)
//   "Annotation file F: time overflows at byte N"   (beyond 64 bits)
//   "Annotation file F: time runs backwards at byte N (tick T after tick P)"
//   "Annotation file F: two beats at tick T at byte N"
//   "Annotation file F: unusable time resolution 'TEXT' at byte N"
//   "Annotation file F: time resolutions F1 and F2 disagree at byte N"
//   "Annotation file F: no beat annotation (K annotations up to byte N)"
// Non-beat annotations may share a time with any other annotation; two beats
// never do (their interval would be empty).

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "nongauss/interval_flags.hpp"

namespace nongauss {

/// One annotation as stored in the file.
struct Annotation {
    std::int64_t sample = 0;  ///< its time in ticks from the start of the record
    std::uint8_t code = 0;    ///< 0-49 (see annotation_label)
    std::int8_t sub = 0;      ///< subtype (SUB), 0 unless given
    std::int8_t chan = 0;     ///< signal number (CHN), carried over from the one before
    std::int8_t num = 0;      ///< annotator number (NUM), carried over from the one before
    std::string aux;          ///< the AUX text up to its first NUL byte, or empty
};

/// The first line of a record's header that is not a comment ('#') or blank:
/// `name[/segments] nsignals [fs[/counterfreq[(base)]] [nsamples ...]]`.
struct RecordHeader {
    std::string record;         ///< the name, without "/segments"
    int signals = 0;            ///< nsignals
    double sampling_hz = 250;   ///< fs; 250 when the line gives none
    bool sampling_given = false;
};

/// A label that a file defines for a code.
struct LabelDefinition {
    std::uint8_t code = 0;
    std::string label;
    std::string description;
};

/// An annotation file read whole.
struct AnnotationFile {
    std::string path;            ///< the file read, or the name given to the parser
    double sampling_hz = 250;    ///< the header's sampling frequency
    double tick_hz = 250;        ///< ticks per second: the time resolution, or sampling_hz
    std::vector<Annotation> annotations;  ///< in file order, times never decreasing
    bool end_word = false;       ///< the file ended with the word 0 (not just its bytes)
    /// Labels the file defines, in file order (a later one of a code wins).
    std::vector<LabelDefinition> definitions;
    /// Doubts about the file (without "Warning: " or a newline): no end word,
    /// bytes after the end word, a definition that does not read as one, a
    /// header that names another record.
    std::vector<std::string> warnings;

    /// The label of `code` in this file: its own definition, else
    /// annotation_label(code). Whether a code is a beat never changes.
    std::string_view label(std::uint8_t code) const noexcept;
};

/// Reads RECORD.ANNOTATOR and the header RECORD.hea in the same directory
/// (RECORD: the file name up to its last '.').
AnnotationFile read_annotations(const std::string& path);

/// Parses the bytes of an annotation file whose record is sampled at
/// `sampling_hz` (1e-3 to 1e12, else an input error); `name` stands for the
/// file in messages.
AnnotationFile parse_annotations(std::span<const std::uint8_t> bytes, double sampling_hz,
                                 const std::string& name);

/// Parses the text of a header; `name` stands for the file in messages.
RecordHeader parse_header(std::string_view text, const std::string& name);

/// Whether annotations of `code` mark a beat (QRS complex): 1-13, 25, 30, 31,
/// 34, 35, 38 and 41.
bool is_beat(std::uint8_t code) noexcept;

/// Whether a non-beat annotation of `code` between two normal beats leaves
/// their interval out of the normal-to-normal selection: a change of rhythm
/// (+), noise (~), an isolated artefact (|), the start or end of ventricular
/// flutter or fibrillation ([ ]), a non-conducted P wave (x) or pacemaker
/// spike (^). The others (wave marks p t u ( ), notes, measurements, links,
/// ST and T changes, systole and diastole) only describe the beats around them.
bool is_event(std::uint8_t code) noexcept;

/// The label of a code, as annotation listings write it ("N" for 1, "V" for
/// 5, "+" for 28, ...); empty for codes that have none (0, 15, 17, 42-63).
std::string_view annotation_label(std::uint8_t code) noexcept;

/// Every beat-to-beat interval of a file, each with the reason it is left
/// out or `kept`.
struct IntervalSelection {
    bool all_beats = false;       ///< the selection made: every interval, or normal-to-normal
    double tick_hz = 0;           ///< the file's ticks per second
    std::vector<std::int64_t> beat_samples;  ///< the beats' times in ticks, in file order
    std::vector<std::uint8_t> beat_codes;    ///< their codes
    /// intervals[k] = (beat_samples[k+1] - beat_samples[k]) / tick_hz seconds,
    /// one fewer than the beats.
    std::vector<double> intervals;
    std::vector<IntervalFlag> flags;  ///< one per interval
    /// Annotations of the file by code (beats and the others).
    std::array<std::size_t, 64> by_label{};
    /// Intervals by flag, indexed by the flag's value.
    std::array<std::size_t, std::size(all_interval_flags)> by_reason{};

    std::size_t count(IntervalFlag flag) const noexcept {
        return by_reason[static_cast<std::size_t>(flag)];
    }
    /// The intervals flagged `kept`, in order.
    std::vector<double> kept_intervals() const;
};

/// The selection's name in reports: "normal-to-normal" or "all beats".
std::string_view selection_name(bool all_beats) noexcept;

/// Chooses among the intervals between consecutive beats (non-beat
/// annotations are passed over, never split an interval).
///   all_beats: every interval is kept.
///   otherwise (normal-to-normal): an interval is kept when both its beats are
///   normal (N); else it is `not_normal`; an interval between two normal beats
///   with an event (is_event) among the annotations between them in the file
///   is `across_event`.
IntervalSelection select_intervals(const AnnotationFile& file, bool all_beats);

}  // namespace nongauss
