// Reading PhysioNet annotation files and their record headers.
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "nongauss/annotations.hpp"
#include "nongauss/error.hpp"

namespace nongauss {
namespace {

constexpr unsigned code_skip = 59, code_num = 60, code_sub = 61, code_chn = 62, code_aux = 63;
constexpr unsigned last_annotation_code = 49;
constexpr std::uint8_t code_note = 22;
constexpr std::string_view resolution_prefix = "## time resolution: ";
constexpr std::string_view definitions_start = "## annotation type definitions";
constexpr std::string_view definitions_end = "## end of definitions";

[[noreturn]] void fail(std::string message) { throw Error(ErrorKind::input, std::move(message)); }

[[noreturn]] void fail_at(const std::string& name, std::string_view what, std::size_t offset,
                          std::string_view after = {}) {
    fail("Annotation file " + name + ": " + std::string(what) + " at byte " + std::to_string(offset) +
         std::string(after));
}

unsigned word_at(std::span<const std::uint8_t> bytes, std::size_t pos) {
    return static_cast<unsigned>(bytes[pos]) | (static_cast<unsigned>(bytes[pos + 1]) << 8);
}

std::int8_t low_byte(unsigned field) {
    return static_cast<std::int8_t>(static_cast<std::uint8_t>(field & 0xFFu));
}

// A whole token as a usable frequency: from 1e-3 to 1e12 Hz, so that every
// time of 64 bits is a finite number of seconds.
std::optional<double> usable_frequency(std::string_view text) {
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || !(value >= 1e-3 && value <= 1e12)) return std::nullopt;
    return value;
}

template <typename Int>
std::optional<Int> whole_integer(std::string_view text) {
    Int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || text.empty()) return std::nullopt;
    return value;
}

std::vector<std::string_view> tokens(std::string_view line) {
    std::vector<std::string_view> out;
    std::size_t pos = 0;
    while (pos < line.size()) {
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
        const std::size_t start = pos;
        while (pos < line.size() && line[pos] != ' ' && line[pos] != '\t') ++pos;
        if (pos > start) out.push_back(line.substr(start, pos - start));
    }
    return out;
}

std::optional<std::string> read_whole(const std::string& path, bool& read_error) {
    read_error = false;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return std::nullopt;
    std::string data;
    char buffer[65536];
    for (;;) {
        const std::size_t n = std::fread(buffer, 1, sizeof buffer, f);
        data.append(buffer, n);
        if (n < sizeof buffer) break;
    }
    read_error = std::ferror(f) != 0;
    std::fclose(f);
    return data;
}

// A definition "CODE LABEL DESCRIPTION" (a final newline left out), or a warning.
void define_label(AnnotationFile& file, std::string_view text, std::size_t offset) {
    std::string_view rest = text;
    while (!rest.empty() && (rest.back() == '\n' || rest.back() == '\r')) rest.remove_suffix(1);
    const std::vector<std::string_view> fields = tokens(rest);
    const auto code = fields.size() >= 2 ? whole_integer<unsigned>(fields[0]) : std::nullopt;
    if (!code || *code > last_annotation_code) {
        file.warnings.push_back("Annotation file " + file.path + ": the definition '" + std::string(rest) + "' at byte " +
                                std::to_string(offset) + " is not CODE LABEL DESCRIPTION; ignored");
        return;
    }
    LabelDefinition d;
    d.code = static_cast<std::uint8_t>(*code);
    d.label = std::string(fields[1]);
    const std::size_t after_label = static_cast<std::size_t>(fields[1].data() + fields[1].size() - rest.data());
    const std::size_t description = rest.find_first_not_of(" \t", after_label);
    if (description != std::string_view::npos) d.description = std::string(rest.substr(description));
    file.definitions.push_back(std::move(d));
}

}  // namespace

std::string_view AnnotationFile::label(std::uint8_t code) const noexcept {
    for (auto d = definitions.rbegin(); d != definitions.rend(); ++d)
        if (d->code == code) return d->label;
    return annotation_label(code);
}

RecordHeader parse_header(std::string_view text, const std::string& name) {
    std::size_t pos = 0;
    int line_number = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++line_number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const std::vector<std::string_view> fields = tokens(line);
        if (fields.empty() || fields[0].front() == '#') continue;

        RecordHeader header;
        const std::string_view record = fields[0].substr(0, fields[0].find('/'));
        const auto signals = fields.size() > 1 ? whole_integer<int>(fields[1]) : std::nullopt;
        if (record.empty() || !signals || *signals < 0)
            fail("Header " + name + ": line " + std::to_string(line_number) +
                 " is not a record line (name, number of signals, ...)");
        header.record = std::string(record);
        header.signals = *signals;
        if (fields.size() > 2) {
            const std::string_view fs = fields[2].substr(0, fields[2].find('/'));
            const auto hz = usable_frequency(fs);
            if (!hz)
                fail("Header " + name + ": no usable sampling frequency '" + std::string(fields[2]) +
                     "' on line " + std::to_string(line_number));
            header.sampling_hz = *hz;
            header.sampling_given = true;
        }
        return header;
    }
    fail("Header " + name + ": no record line");
}

AnnotationFile parse_annotations(std::span<const std::uint8_t> bytes, double sampling_hz,
                                 const std::string& name) {
    if (!(sampling_hz >= 1e-3 && sampling_hz <= 1e12))
        fail("Annotation file " + name + ": no usable sampling frequency (" + std::to_string(sampling_hz) + ")");
    AnnotationFile file;
    file.path = name;
    file.sampling_hz = sampling_hz;
    std::optional<double> resolution;
    std::string resolution_text;
    file.annotations.reserve(std::min<std::size_t>(bytes.size() / 2, std::size_t{1} << 20));

    std::int64_t time = 0;        // ticks: the last annotation's, plus SKIPs since
    std::int64_t last_time = 0;   // the last annotation's
    std::int64_t last_beat = -1;  // the last beat's, or -1
    bool after_skip = false;
    bool leading_notes = true;  // only NOTEs at tick 0 so far
    bool in_definitions = false;
    std::int8_t chan = 0, num = 0;
    std::size_t beats = 0;
    std::size_t pos = 0;
    for (;;) {
        if (pos == bytes.size()) break;  // no end word
        const std::size_t at = pos;
        if (bytes.size() - pos < 2) fail_at(name, "truncated word", at);
        const unsigned word = word_at(bytes, pos);
        pos += 2;
        const unsigned code = word >> 10, field = word & 0x3FFu;
        if (word == 0) {
            file.end_word = true;
            break;
        }
        if (code == code_skip) {
            if (bytes.size() - pos < 4) fail_at(name, "truncated SKIP", at);
            const std::uint32_t raw = (static_cast<std::uint32_t>(word_at(bytes, pos)) << 16) |
                                      static_cast<std::uint32_t>(word_at(bytes, pos + 2));
            pos += 4;
            if (__builtin_add_overflow(time, static_cast<std::int64_t>(static_cast<std::int32_t>(raw)), &time))
                fail_at(name, "time overflows", at);
            after_skip = true;
            continue;
        }
        if (code >= code_num) {  // NUM, SUB, CHN, AUX: of the annotation just read
            static constexpr const char* names[] = {"NUM", "SUB", "CHN", "AUX"};
            if (file.annotations.empty() || after_skip)
                fail_at(name, std::string(names[code - code_num]) + " follows no annotation", at);
            Annotation& last = file.annotations.back();
            if (code == code_num) last.num = num = low_byte(field);
            if (code == code_sub) last.sub = low_byte(field);
            if (code == code_chn) last.chan = chan = low_byte(field);
            if (code != code_aux) continue;
            const std::size_t length = field & 0xFFu;
            const std::size_t padded = length + (length & 1u);
            if (bytes.size() - pos < padded) fail_at(name, "truncated AUX", at);
            const char* text = reinterpret_cast<const char*>(bytes.data() + pos);
            last.aux.assign(text, strnlen(text, length));
            pos += padded;
            if (!leading_notes || last.code != code_note) continue;
            if (last.aux == definitions_start || last.aux == definitions_end) {
                in_definitions = last.aux == definitions_start;
            } else if (in_definitions) {
                define_label(file, last.aux, at);
            } else if (std::string_view(last.aux).substr(0, resolution_prefix.size()) == resolution_prefix) {
                const std::string_view value = std::string_view(last.aux).substr(resolution_prefix.size());
                const auto hz = usable_frequency(value);
                if (!hz) fail_at(name, "unusable time resolution '" + std::string(value) + "'", at);
                if (resolution && *resolution != *hz)
                    fail_at(name, "time resolutions " + resolution_text + " and " + std::string(value) + " disagree",
                            at);
                resolution = *hz;
                resolution_text = std::string(value);
            }
            continue;
        }
        // Code 0 with a field: an annotation that is no beat (writers use it,
        // after a SKIP of -1, for an annotation at the time of the one before).
        if (code > last_annotation_code) fail_at(name, "unknown code " + std::to_string(code), at);
        if (__builtin_add_overflow(time, static_cast<std::int64_t>(field), &time))
            fail_at(name, "time overflows", at);
        if (time < last_time)
            fail_at(name, "time runs backwards", at,
                    " (tick " + std::to_string(time) + " after tick " + std::to_string(last_time) + ")");
        const bool beat = is_beat(static_cast<std::uint8_t>(code));
        if (beat && time == last_beat) fail_at(name, "two beats at tick " + std::to_string(time), at);
        if (code != code_note || time != 0) leading_notes = false;
        Annotation annotation;
        annotation.sample = time;
        annotation.code = static_cast<std::uint8_t>(code);
        annotation.chan = chan;
        annotation.num = num;
        file.annotations.push_back(std::move(annotation));
        last_time = time;
        if (beat) {
            last_beat = time;
            ++beats;
        }
        after_skip = false;
    }
    if (beats == 0)
        fail("Annotation file " + name + ": no beat annotation (" + std::to_string(file.annotations.size()) +
             " annotations up to byte " + std::to_string(pos) + ")");
    file.tick_hz = resolution ? *resolution : sampling_hz;
    if (!file.end_word)
        file.warnings.push_back("Annotation file " + name + ": no end word: the file may be cut short after byte " +
                                std::to_string(pos));
    else if (pos < bytes.size())
        file.warnings.push_back("Annotation file " + name + ": " + std::to_string(bytes.size() - pos) +
                                " bytes after the end word at byte " + std::to_string(pos - 2) + " are ignored");
    return file;
}

AnnotationFile read_annotations(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t base = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot <= base)
        fail("Annotation file " + path + ": no header: its name has no .ANNOTATOR suffix");
    const std::string header_path = path.substr(0, dot) + ".hea";
    const std::string record = path.substr(base, dot - base);

    bool read_error = false;
    const std::optional<std::string> bytes = read_whole(path, read_error);
    if (!bytes) fail("Annotation file " + path + " not found");
    if (read_error) fail("Error while reading annotation file " + path);
    const std::optional<std::string> header_text = read_whole(header_path, read_error);
    if (!header_text) fail("Annotation file " + path + ": no header: " + header_path + " not found");
    if (read_error) fail("Error while reading header " + header_path);

    const RecordHeader header = parse_header(*header_text, header_path);
    AnnotationFile file = parse_annotations(
        std::span(reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size()), header.sampling_hz, path);
    if (header.record != record)
        file.warnings.push_back("Header " + header_path + " is of record " + header.record + ", not " + record);
    return file;
}

}  // namespace nongauss
