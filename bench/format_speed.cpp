// Processor time of the TS table's formatting, on one thread, over the values
// of a TS file the tool has written (times, intervals in ms, increments in ms).
//
//   cd SOURCE_TREE && g++ -O2 -std=c++20 -ffp-contract=off -Iinclude -pthread
//     -o build/format_speed bench/format_speed.cpp build/libnongauss_core.a -lfftw3
//     (one command)
//   build/format_speed nsr001_TS.txt [repetitions]
//
// The file's values become full-precision doubles again (an interval x is
// formatted as 1000 * (x / 1000), as the tool computes it from the resampled
// series in seconds). Two figures, each the median and the minimum over the
// repetitions of the thread's processor time divided by the count of numbers:
//   format_fixed  one call of format_fixed(out, v, 6) per number, row by row,
//                 a separator after each;
//   ts table      write_ts_table into /dev/null, limited to one thread.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "nongauss/thread_pool.hpp"
#include "nongauss/fixed_format.hpp"
#include "nongauss/tables.hpp"

namespace {

double thread_seconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

template <typename Work>
void report(const char* name, int repetitions, double numbers, const Work& work) {
    std::vector<double> ns;
    for (int r = 0; r < repetitions; ++r) {
        const double start = thread_seconds();
        work();
        ns.push_back((thread_seconds() - start) * 1e9 / numbers);
    }
    std::sort(ns.begin(), ns.end());
    std::printf("%-13s median %.2f ns, min %.2f ns per number (%d repetitions)\n", name,
                ns[ns.size() / 2], ns.front(), repetitions);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: format_speed TS_FILE [repetitions]\n");
        return 2;
    }
    const int repetitions = argc > 2 ? std::atoi(argv[2]) : 31;
    std::FILE* in = std::fopen(argv[1], "r");
    if (in == nullptr || repetitions < 1) {
        std::perror(argv[1]);
        return 1;
    }
    char header[128];
    if (std::fgets(header, sizeof header, in) == nullptr) return 1;
    std::vector<double> resampled{0.0}, centred{0.0};  // 1-based, as the tool's
    double time = 0, rri = 0, cg = 0;
    while (std::fscanf(in, "%lf %lf %lf", &time, &rri, &cg) == 3) {
        resampled.push_back(rri / 1000);
        centred.push_back(cg / 1000);
    }
    std::fclose(in);
    const int ncg = static_cast<int>(resampled.size()) - 1;
    const double dt = 0.25;
    std::vector<double> values;  // what the table's rows hold, row by row
    for (int j = 1; j <= ncg; ++j) {
        values.push_back((j - 1) * dt);
        values.push_back(1000 * resampled[static_cast<std::size_t>(j)] + 1000 * 0.0);
        values.push_back(1000 * centred[static_cast<std::size_t>(j)]);
    }
    std::printf("%d rows, %zu numbers\n", ncg, values.size());

    std::vector<char> text(values.size() * 24 + nongauss::fixed_max_length(6));
    long checksum = 0;
    report("format_fixed", repetitions, static_cast<double>(values.size()), [&] {
        char* p = text.data();
        for (double v : values) {
            p = nongauss::format_fixed(p, v, 6);
            *p++ = '\t';
        }
        checksum += p - text.data();
    });

    std::FILE* null = std::fopen("/dev/null", "w");
    if (null == nullptr) return 1;
    nongauss::ThreadPool one(1);
    report("ts table", repetitions, static_cast<double>(values.size()), [&] {
        nongauss::write_ts_table(null, std::span<const double>(resampled).subspan(1), 0.0, 0,
                                 std::span<const double>(centred).subspan(1), 1.0, dt, false, one);
    });
    std::fclose(null);
    return checksum > 0 ? 0 : 1;
}
