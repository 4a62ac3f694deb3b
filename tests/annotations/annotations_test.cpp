// PhysioNet annotation files: the reader on small files written here for every
// kind of word and every error, the header line, the choice of intervals by
// label, and the real files of ../shared/data/wfdb where they are present.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "nongauss/annotations.hpp"
#include "nongauss/error.hpp"
#include "support/errors.hpp"
#include "support/run_tool.hpp"

namespace nongauss {
namespace {

namespace fs = std::filesystem;
using nongauss::testing::thrown_message;

// The bytes of an annotation file, word by word.
struct Bytes {
    std::vector<std::uint8_t> b;
    Bytes& word(unsigned w) {
        b.push_back(static_cast<std::uint8_t>(w & 0xFF));
        b.push_back(static_cast<std::uint8_t>(w >> 8));
        return *this;
    }
    Bytes& ann(unsigned code, unsigned ticks) { return word(code << 10 | ticks); }
    Bytes& skip(std::int32_t ticks) {
        const auto u = static_cast<std::uint32_t>(ticks);
        return word(59u << 10).word(u >> 16).word(u & 0xFFFF);
    }
    Bytes& aux(const std::string& text, bool pad = true) {
        word(63u << 10 | static_cast<unsigned>(text.size()));
        b.insert(b.end(), text.begin(), text.end());
        if (pad && text.size() % 2 == 1) b.push_back(0);
        return *this;
    }
    Bytes& end() { return word(0); }
    Bytes& byte(std::uint8_t x) {
        b.push_back(x);
        return *this;
    }
};

constexpr unsigned N = 1, V = 5, A = 8, NOTE = 22, PWAVE = 24, RHYTHM = 28, NOISE = 14, NUM = 60, SUB = 61, CHN = 62;

// Annotations as "tick:label sub/chan/num 'aux'", joined by "; ".
std::string describe(const AnnotationFile& f) {
    std::string out;
    for (const Annotation& a : f.annotations) {
        if (!out.empty()) out += "; ";
        out += std::to_string(a.sample) + ":" + std::string(f.label(a.code)) + " " + std::to_string(a.sub) +
               "/" + std::to_string(a.chan) + "/" + std::to_string(a.num);
        if (!a.aux.empty()) out += " '" + a.aux + "'";
    }
    return out;
}

TEST(AnnotationFile, EveryKindOfWordIsRead) {
    struct Case {
        const char* what;
        Bytes bytes;
        std::string annotations;
        double tick_hz;
        bool end_word;
        std::string warning;  // part of the only warning, or "" for none
    };
    const Case cases[] = {
        {"plain times", Bytes().ann(N, 10).ann(N, 300).ann(V, 1023).end(), "10:N 0/0/0; 310:N 0/0/0; 1333:V 0/0/0",
         360, true, ""},
        {"SKIP forward, then backward but not before the last annotation",
         Bytes().skip(100000).ann(N, 5).skip(-40).ann(N, 50).end(), "100005:N 0/0/0; 100015:N 0/0/0", 360, true, ""},
        {"SKIPs add up beyond 32 bits",
         Bytes().ann(N, 1).skip(INT32_MAX).skip(INT32_MAX).skip(INT32_MAX).ann(N, 2).end(),
         "1:N 0/0/0; 6442450944:N 0/0/0", 360, true, ""},
        {"AUX even, odd (padded), with a NUL, and empty",
         Bytes().ann(RHYTHM, 0).aux("(N").ann(N, 3).aux("abc").ann(N, 3).aux(std::string("ab\0cd", 5)).ann(N, 3).aux(""),
         "0:+ 0/0/0 '(N'; 3:N 0/0/0 'abc'; 6:N 0/0/0 'ab'; 9:N 0/0/0", 360, false, "no end word"},
        {"SUB for one annotation, CHN and NUM carried over, low byte signed",
         Bytes().ann(N, 4).word(SUB << 10 | 5).word(CHN << 10 | 2).word(NUM << 10 | 0x3FF).ann(N, 4).ann(N, 4)
             .word(NUM << 10 | 7).end(),
         "4:N 5/2/-1; 8:N 0/2/-1; 12:N 0/2/7", 360, true, ""},
        {"time resolution notes at tick 0",
         Bytes().ann(NOTE, 0).aux("## time resolution: 1000").ann(NOTE, 0).aux("## time resolution: 1000").ann(N, 700)
             .end(),
         "0:\" 0/0/0 '## time resolution: 1000'; 0:\" 0/0/0 '## time resolution: 1000'; 700:N 0/0/0", 1000, true, ""},
        {"a later note is only a note",
         Bytes().ann(N, 1).ann(NOTE, 0).aux("## time resolution: 1000").end(),
         "1:N 0/0/0; 1:\" 0/0/0 '## time resolution: 1000'", 360, true, ""},
        {"non-beats share a beat's time", Bytes().ann(N, 8).ann(RHYTHM, 0).ann(PWAVE, 0).ann(N, 1).end(),
         "8:N 0/0/0; 8:+ 0/0/0; 8:p 0/0/0; 9:N 0/0/0", 360, true, ""},
        {"code 0 after a SKIP of -1: an annotation at the same time",
         Bytes().ann(NOTE, 0).aux("x").skip(-1).ann(0, 1).ann(N, 9).end(), "0:\" 0/0/0 'x'; 0: 0/0/0; 9:N 0/0/0", 360,
         true, ""},
        {"labels defined by leading notes",
         Bytes().ann(NOTE, 0).aux("## annotation type definitions").ann(NOTE, 0).aux("15 c calibration pulse\n")
             .ann(NOTE, 0).aux("bad").ann(NOTE, 0).aux("## end of definitions").ann(15, 5).ann(N, 1).end(),
         "0:\" 0/0/0 '## annotation type definitions'; 0:\" 0/0/0 '15 c calibration pulse\n'; 0:\" 0/0/0 'bad'; "
         "0:\" 0/0/0 '## end of definitions'; 5:c 0/0/0; 6:N 0/0/0",
         360, true, "the definition 'bad' at byte 64 is not CODE LABEL DESCRIPTION; ignored"},
        {"bytes after the end word", Bytes().ann(N, 1).end().ann(N, 1).byte(7), "1:N 0/0/0", 360, true,
         "3 bytes after the end word at byte 2 are ignored"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const AnnotationFile f = parse_annotations(c.bytes.b, 360, "t.atr");
        EXPECT_EQ(describe(f), c.annotations);
        EXPECT_EQ(f.tick_hz, c.tick_hz);
        EXPECT_EQ(f.sampling_hz, 360);
        EXPECT_EQ(f.end_word, c.end_word);
        if (c.warning.empty()) {
            EXPECT_TRUE(f.warnings.empty());
        } else {
            ASSERT_EQ(f.warnings.size(), 1u);
            EXPECT_NE(f.warnings[0].find(c.warning), std::string::npos) << f.warnings[0];
        }
    }
}

TEST(AnnotationFile, BadBytesNameTheFileAndTheOffset) {
    const struct {
        Bytes bytes;
        const char* message;
    } cases[] = {
        {Bytes().ann(N, 1).byte(3), "truncated word at byte 2"},
        {Bytes().ann(N, 1).word(59u << 10).word(0), "truncated SKIP at byte 2"},
        {Bytes().ann(N, 1).word(63u << 10 | 4).byte('a'), "truncated AUX at byte 2"},
        {Bytes().ann(N, 1).aux("abc", false), "truncated AUX at byte 2"},  // padding missing
        {Bytes().ann(N, 1).ann(53, 1), "unknown code 53 at byte 2"},
        {Bytes().word(NUM << 10 | 1).ann(N, 1), "NUM follows no annotation at byte 0"},
        {Bytes().ann(N, 1).skip(5).aux("x"), "AUX follows no annotation at byte 8"},
        {Bytes().ann(N, 100).ann(RHYTHM, 0).skip(-60).ann(N, 10).end(),
         "time runs backwards at byte 10 (tick 50 after tick 100)"},
        {Bytes().skip(-1).ann(N, 0).end(), "time runs backwards at byte 6 (tick -1 after tick 0)"},
        {Bytes().ann(N, 4).ann(RHYTHM, 0).ann(V, 0).end(), "two beats at tick 4 at byte 4"},
        {Bytes().ann(NOTE, 0).aux("## time resolution: 1e400").ann(N, 1), "unusable time resolution '1e400' at byte 2"},
        {Bytes().ann(NOTE, 0).aux("## time resolution: 100").ann(NOTE, 0).aux("## time resolution: 200"),
         "time resolutions 100 and 200 disagree at byte 30"},
        {Bytes().ann(RHYTHM, 5).aux("(N").ann(NOISE, 9).end(), "no beat annotation (2 annotations up to byte 10)"},
        {Bytes(), "no beat annotation (0 annotations up to byte 0)"},
    };
    for (const auto& c : cases) {
        const std::string m = thrown_message([&] { parse_annotations(c.bytes.b, 360, "t.atr"); }, ErrorKind::input);
        EXPECT_EQ(m, std::string("Annotation file t.atr: ") + c.message);
    }
}

TEST(AnnotationFile, HeaderLines) {
    const struct {
        const char* text;
        const char* result;  // "record signals hz given", or the error after "Header h.hea: "
    } cases[] = {
        {"# a comment\n\n100 2 360 650000\n100.dat 212 200\n", "100 2 360 1"},
        {"rec 1\n", "rec 1 250 0"},
        {"  multi/3 2 128/1000(0) 1000 12:00:00\r\n", "multi 2 128 1"},
        {"r 0 0.5\r\n", "r 0 0.5 1"},
        {"", "no record line"},
        {"# only comments\n   \n", "no record line"},
        {"# c\nrec\n", "line 2 is not a record line (name, number of signals, ...)"},
        {"rec -1 360\n", "line 1 is not a record line (name, number of signals, ...)"},
        {"/2 1 360\n", "line 1 is not a record line (name, number of signals, ...)"},
        {"rec 1 0\n", "no usable sampling frequency '0' on line 1"},
        {"rec 1 x360\n", "no usable sampling frequency 'x360' on line 1"},
        {"rec 1 inf\n", "no usable sampling frequency 'inf' on line 1"},
        {"rec 1 1e-4\n", "no usable sampling frequency '1e-4' on line 1"},
        {"rec 1 360Hz/2\n", "no usable sampling frequency '360Hz/2' on line 1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::string got;
        try {
            const RecordHeader h = parse_header(c.text, "h.hea");
            char hz[32];
            std::snprintf(hz, sizeof hz, "%g", h.sampling_hz);
            got = h.record + " " + std::to_string(h.signals) + " " + hz + " " + (h.sampling_given ? "1" : "0");
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::input);
            got = e.message().substr(std::string("Header h.hea: ").size());
        }
        EXPECT_EQ(got, c.result);
    }
}

TEST(AnnotationFile, TheHeaderIsFoundBesideTheFile) {
    const nongauss::testing::ScratchDir dir;
    const std::string base = dir.path().string() + "/";
    const Bytes bytes = Bytes().ann(N, 100).ann(N, 100).end();
    const std::string content(bytes.b.begin(), bytes.b.end());
    dir.write("rec.v1.qrs", content);
    dir.write("rec.v1.hea", "rec.v1 1 128\n");
    dir.write("other.atr", content);
    dir.write("other.hea", "# wrong record\nrec 1 500\n");
    dir.write("lone.atr", content);
    dir.write("bad.atr", content);
    dir.write("bad.hea", "bad 1 fast\n");
    dir.write("noext", content);

    const AnnotationFile f = read_annotations(base + "rec.v1.qrs");
    EXPECT_EQ(f.path, base + "rec.v1.qrs");
    EXPECT_EQ(f.tick_hz, 128);
    EXPECT_EQ(f.annotations.size(), 2u);
    EXPECT_TRUE(f.warnings.empty());
    const AnnotationFile other = read_annotations(base + "other.atr");
    EXPECT_EQ(other.tick_hz, 500);
    ASSERT_EQ(other.warnings.size(), 1u);
    EXPECT_EQ(other.warnings[0], "Header " + base + "other.hea is of record rec, not other");

    const auto message = [](const std::string& path) {
        return thrown_message([&] { read_annotations(path); }, ErrorKind::input);
    };
    EXPECT_EQ(message(base + "lone.atr"), "Annotation file " + base + "lone.atr: no header: " + base + "lone.hea not found");
    EXPECT_EQ(message(base + "bad.atr"), "Header " + base + "bad.hea: no usable sampling frequency 'fast' on line 1");
    EXPECT_EQ(message(base + "noext"), "Annotation file " + base + "noext: no header: its name has no .ANNOTATOR suffix");
    EXPECT_EQ(message(base + "gone.atr"), "Annotation file " + base + "gone.atr not found");
    EXPECT_EQ(message(dir.path().string() + "/."), "Annotation file " + base + ".: no header: its name has no .ANNOTATOR suffix");
}

std::string flag_names(const IntervalSelection& s) {
    std::string out;
    for (const IntervalFlag f : s.flags) out += std::string(out.empty() ? "" : " ") + std::string(interval_flag_name(f));
    return out;
}

TEST(IntervalSelection, NormalToNormalLeavesOutIntervalsBesideEctopicBeatsAndAcrossEvents) {
    // N N A N N + N N p N N ~ N x N V N (non-beats at the beat's time or between)
    const Bytes bytes = Bytes()
                            .ann(NOTE, 0).aux("## time resolution: 100")  // before the first beat: no interval
                            .ann(N, 80).ann(N, 81).ann(A, 50).ann(N, 110).ann(N, 82)
                            .ann(RHYTHM, 0).aux("(AFIB").ann(N, 83).ann(N, 84)
                            .ann(PWAVE, 20).ann(N, 65).ann(N, 86)
                            .ann(NOISE, 40).ann(N, 47).ann(37, 30).ann(N, 58).ann(V, 60).ann(N, 120).end();
    const AnnotationFile f = parse_annotations(bytes.b, 360, "t.atr");
    const IntervalSelection nn = select_intervals(f, false);
    EXPECT_EQ(flag_names(nn),
              "kept not-normal not-normal kept across-event kept kept kept across-event across-event not-normal "
              "not-normal");
    EXPECT_EQ(nn.count(IntervalFlag::kept), 5u);
    EXPECT_EQ(nn.count(IntervalFlag::not_normal), 4u);
    EXPECT_EQ(nn.count(IntervalFlag::across_event), 3u);
    EXPECT_EQ(nn.beat_samples.front(), 80);
    EXPECT_EQ(nn.beat_samples.back(), 80 + 81 + 50 + 110 + 82 + 83 + 84 + 20 + 65 + 86 + 40 + 47 + 30 + 58 + 60 + 120);
    EXPECT_EQ(nn.beat_codes.size(), nn.intervals.size() + 1);
    EXPECT_EQ(nn.intervals[0], 0.81);  // ticks of the time resolution, not of the header
    EXPECT_EQ(nn.intervals[6], 0.85);  // the P wave does not split the interval
    EXPECT_EQ(nn.kept_intervals(), (std::vector<double>{0.81, 0.82, 0.84, 0.85, 0.86}));
    EXPECT_EQ(nn.by_label[N], 11u);
    EXPECT_EQ(nn.by_label[NOTE], 1u);
    EXPECT_EQ(nn.by_label[37], 1u);

    const IntervalSelection all = select_intervals(f, true);
    EXPECT_EQ(all.intervals, nn.intervals);
    EXPECT_EQ(all.count(IntervalFlag::kept), all.intervals.size());
    EXPECT_EQ(selection_name(false), "normal-to-normal");
    EXPECT_EQ(selection_name(true), "all beats");
}

TEST(AnnotationCodes, TheBeatsAreTheQrsCodesAndNoBeatIsAnEvent) {
    std::string beats;
    for (unsigned code = 0; code < 64; ++code) {
        const auto c = static_cast<std::uint8_t>(code);
        if (is_beat(c)) beats += std::to_string(code) + std::string(annotation_label(c)) + " ";
        EXPECT_FALSE(is_beat(c) && is_event(c));
    }
    EXPECT_EQ(beats, "1N 2L 3R 4a 5V 6F 7J 8A 9S 10E 11j 12/ 13Q 25B 30? 31! 34e 35n 38f 41r ");
}

// The real files, where ../shared is present.
fs::path shared_wfdb() {
    const fs::path p = fs::path(NONGAUSS_SOURCE_DIR) / ".." / "shared" / "data" / "wfdb";
    return fs::exists(p / "100.atr") ? p : fs::path();
}

TEST(AnnotationFile, SharedRecords) {
    const fs::path dir = shared_wfdb();
    if (dir.empty()) GTEST_SKIP() << "../shared/data/wfdb is absent";
    const struct {
        const char* file;
        std::size_t annotations, beats, nn;
    } cases[] = {{"100.atr", 2274, 2273, 2204}, {"100.qrs", 2274, 2273, 2272}, {"1003.atr", 966, 957, 956}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const AnnotationFile f = read_annotations((dir / c.file).string());
        EXPECT_EQ(f.tick_hz, 360);
        EXPECT_TRUE(f.end_word);
        EXPECT_TRUE(f.warnings.empty());
        EXPECT_EQ(f.annotations.size(), c.annotations);
        const IntervalSelection all = select_intervals(f, true);
        const IntervalSelection nn = select_intervals(f, false);
        EXPECT_EQ(all.beat_samples.size(), c.beats);
        EXPECT_EQ(all.intervals.size(), c.beats - 1);
        EXPECT_EQ(nn.flags.size(), c.beats - 1);
        EXPECT_EQ(nn.count(IntervalFlag::kept), c.nn);
        EXPECT_EQ(nn.count(IntervalFlag::kept) + nn.count(IntervalFlag::not_normal) +
                      nn.count(IntervalFlag::across_event),
                  nn.flags.size());
        // The intervals add up to the time from the first beat to the last, to the sample.
        double sum = 0;
        for (const double x : all.intervals) sum += x;
        EXPECT_EQ(std::llround(sum * 360), all.beat_samples.back() - all.beat_samples.front());
        EXPECT_LT(std::fabs(sum * 360 - static_cast<double>(all.beat_samples.back() - all.beat_samples.front())), 1e-6);
    }
    const IntervalSelection nn = select_intervals(read_annotations((dir / "100.atr").string()), false);
    const std::vector<double> kept = nn.kept_intervals();
    ASSERT_GE(kept.size(), 2u);
    EXPECT_EQ(kept[0], 293.0 / 360);
    EXPECT_EQ(kept[1], 292.0 / 360);
    EXPECT_EQ(nn.by_label[N] + nn.by_label[A] + nn.by_label[V] + nn.by_label[RHYTHM], 2274u);
    // The record's own labels: six codes defined by its leading notes.
    const AnnotationFile defined = read_annotations((dir / "1003.atr").string());
    ASSERT_EQ(defined.definitions.size(), 6u);
    EXPECT_EQ(defined.definitions[2].description, "signal source change");
    EXPECT_EQ(defined.label(20), "x");
    EXPECT_EQ(defined.label(1), "N");
}

}  // namespace
}  // namespace nongauss
