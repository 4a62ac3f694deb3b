// A long synthetic RR series for benchmarks and output checks.
//
//   synth_rr HOURS [SEED] > series.txt
//
// Writes RR intervals in seconds, one a line, as multiples of 1/128 s printed
// with eight decimals (the resolution of common Holter exports). Everything is
// integer arithmetic, so the same arguments give the same bytes on every
// platform: a day-night swing, a slow random walk, breathing-like oscillation,
// white jitter and bursts of larger variability (which make the increments
// non-Gaussian).
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

std::uint64_t state = 0x9E3779B97F4A7C15ULL;

std::uint64_t next_random() {  // xorshift64*
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return state * 0x2545F4914F6CDD1DULL;
}

// Uniform integer in [-span, span].
long uniform(long span) {
    return static_cast<long>(next_random() % static_cast<std::uint64_t>(2 * span + 1)) - span;
}

// Triangle wave with period `period` ticks and amplitude `amp`, at time t.
long triangle(long long t, long long period, long amp) {
    const long long phase = t % period;
    const long long half = period / 2;
    const long long rise = phase < half ? phase : period - phase;  // 0..half
    return static_cast<long>((4 * amp * rise) / period) - amp;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s HOURS [SEED]\n", argv[0]);
        return 1;
    }
    const long long hours = std::atoll(argv[1]);
    if (argc > 2) state ^= static_cast<std::uint64_t>(std::strtoull(argv[2], nullptr, 10)) * 0x100000001B3ULL;
    if (state == 0) state = 1;

    const long long total = hours * 3600LL * 128;  // length in ticks of 1/128 s
    long long elapsed = 0;
    long walk = 0;     // slow random walk, ticks * 16
    long burst = 0;    // beats left in the current burst of variability
    long long beat = 0;
    while (elapsed < total) {
        walk += uniform(6);
        if (walk > 160) walk = 160;
        if (walk < -160) walk = -160;
        if (burst == 0 && next_random() % 600 == 0) burst = 30 + static_cast<long>(next_random() % 200);
        const long jitter = burst > 0 ? uniform(9) : uniform(2);
        if (burst > 0) --burst;
        long rr = 108                                                   // about 0.84 s
                  + triangle(elapsed, 24LL * 3600 * 128, 14)          // day and night
                  + walk / 16 + triangle(beat, 4, 1) + jitter;
        if (rr < 50) rr = 50;
        // k/128 = k * 0.0078125 exactly: eight decimals, the last one 0.
        const long long scaled = static_cast<long long>(rr) * 781250;  // units of 1e-8
        std::printf("%lld.%08lld\n", scaled / 100000000, scaled % 100000000);
        elapsed += rr;
        ++beat;
    }
    return 0;
}
