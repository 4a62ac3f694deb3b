// Reading a 24-hour annotation file against reading the same intervals as text.
//
//   cd SOURCE_TREE && g++ -O2 -std=c++20 -ffp-contract=off -Iinclude -pthread
//     -o build/annotation_speed bench/annotation_speed.cpp build/libnongauss_core.a -lfftw3   (one command)
//   build/annotation_speed SCRATCH_DIR [BEATS] [repetitions]
//
// Writes into SCRATCH_DIR (never into the repository) day.atr and day.hea, a
// synthetic record at 360 Hz of BEATS beats (100,000 by default, about 24 h):
// mostly normal beats with now and then an ectopic one, a rhythm label with
// text, noise annotations, and a few long gaps written with SKIP. Then
// day.txt, every beat-to-beat interval in seconds with 17 significant digits
// (what reading the annotations gives, to the last bit). Two figures, the
// median and the minimum over the repetitions of the wall time:
//   annotations   read_annotations + select_intervals (normal-to-normal) +
//                 kept_intervals;
//   text          Series::read_file of day.txt.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "nongauss/annotations.hpp"
#include "nongauss/series.hpp"

namespace {

std::uint64_t state = 0x9E3779B97F4A7C15ULL;
std::uint64_t next_random() {  // xorshift64*
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return state * 0x2545F4914F6CDD1DULL;
}

void put_word(std::string& out, unsigned w) {
    out.push_back(static_cast<char>(w & 0xFF));
    out.push_back(static_cast<char>(w >> 8));
}

bool write_file(const std::string& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    const bool ok = f != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return f != nullptr && std::fclose(f) == 0 && ok;
}

template <typename Work>
void report(const char* name, int repetitions, const Work& work) {
    std::vector<double> ms;
    for (int r = 0; r < repetitions; ++r) {
        const auto start = std::chrono::steady_clock::now();
        work();
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-12s median %.3f ms, min %.3f ms (%d repetitions)\n", name, ms[ms.size() / 2], ms.front(),
                repetitions);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: annotation_speed SCRATCH_DIR [BEATS] [repetitions]\n");
        return 2;
    }
    const std::string dir = argv[1];
    const long beats = argc > 2 ? std::atol(argv[2]) : 100000;
    const int repetitions = argc > 3 ? std::atoi(argv[3]) : 21;
    if (beats < 2 || repetitions < 1) return 2;

    std::string atr, txt;
    long last_beat = -1, time = 0;
    char number[40];
    put_word(atr, 28u << 10 | 20);  // a rhythm label with its text
    put_word(atr, 63u << 10 | 2);
    atr += "(N";
    time = 20;
    for (long b = 0; b < beats; ++b) {
        unsigned ticks = 250 + static_cast<unsigned>(next_random() % 120);  // 0.69-1.03 s
        const std::uint64_t r = next_random() % 1000;
        if (r < 3) {  // a long gap
            const std::uint32_t gap = 5000 + static_cast<std::uint32_t>(next_random() % 5000);
            put_word(atr, 59u << 10);
            put_word(atr, gap >> 16);
            put_word(atr, gap & 0xFFFF);
            time += gap;
        } else if (r < 10) {  // noise between two beats
            put_word(atr, 14u << 10 | 100);
            time += 100;
            ticks -= 100;
        }
        const unsigned code = r >= 990 ? 5u : r >= 980 ? 8u : 1u;  // V, A or N
        put_word(atr, code << 10 | ticks);
        time += ticks;
        if (last_beat >= 0) {
            std::snprintf(number, sizeof number, "%.17g\n", static_cast<double>(time - last_beat) / 360);
            txt += number;
        }
        last_beat = time;
    }
    put_word(atr, 0);
    if (!write_file(dir + "/day.atr", atr) || !write_file(dir + "/day.hea", "day 1 360 " + std::to_string(time + 1) + "\n") ||
        !write_file(dir + "/day.txt", txt)) {
        std::perror(dir.c_str());
        return 1;
    }
    std::printf("%ld beats, %.1f h; %zu bytes of annotations, %zu bytes of text\n", beats,
                static_cast<double>(time) / 360 / 3600, atr.size(), txt.size());

    std::size_t check = 0;
    report("annotations", repetitions, [&] {
        const nongauss::AnnotationFile f = nongauss::read_annotations(dir + "/day.atr");
        check += nongauss::select_intervals(f, false).kept_intervals().size();
    });
    report("text", repetitions, [&] {
        check += nongauss::Series::read_file(dir + "/day.txt").n_beats();
    });
    // The two give the same intervals.
    const nongauss::IntervalSelection all = nongauss::select_intervals(nongauss::read_annotations(dir + "/day.atr"), true);
    const bool same = all.intervals == nongauss::Series::read_file(dir + "/day.txt").intervals();
    std::printf("same intervals: %s\n", same ? "yes" : "NO");
    return same && check > 0 ? 0 : 1;
}
