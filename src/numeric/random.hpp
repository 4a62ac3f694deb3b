#pragma once

// The library's random numbers (the surrogates, the bootstrap): splitmix64 to
// seed, xoshiro256** to draw, both written out so that a seed gives the same
// numbers with every compiler and library. Each user draws from streams of
// its own: stream k of seed S.

#include <cstdint>

namespace nongauss {

__extension__ using uint128 = unsigned __int128;

/// splitmix64's output function (a bijection of 64-bit words).
constexpr std::uint64_t mix64(std::uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

class Xoshiro256 {
public:
    /// Stream k of seed S: state words are the first four outputs of
    /// splitmix64 started at mix64(mix64(S) + k). Surrogate k uses stream k;
    /// the bootstrap streams from 2^63 up (see bootstrap.hpp).
    Xoshiro256(std::uint64_t seed, std::uint64_t k) {
        std::uint64_t state = mix64(mix64(seed) + k);
        for (auto& word : s_) {
            state += 0x9E3779B97F4A7C15ULL;
            word = mix64(state);
        }
    }

    std::uint64_t next() {
        const std::uint64_t result = rotl(s_[1] * 5, 7) * 9;
        const std::uint64_t t = s_[1] << 17;
        s_[2] ^= s_[0];
        s_[3] ^= s_[1];
        s_[1] ^= s_[2];
        s_[0] ^= s_[3];
        s_[2] ^= t;
        s_[3] = rotl(s_[3], 45);
        return result;
    }

    /// Uniform on [0, 1): the top 53 bits.
    double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

    /// Uniform on 0..bound-1 (bound >= 1), without bias: multiply-shift with
    /// rejection of the short range.
    std::uint64_t below(std::uint64_t bound) {
        const std::uint64_t threshold = (0 - bound) % bound;
        for (;;) {
            const uint128 m = static_cast<uint128>(next()) * bound;
            if (static_cast<std::uint64_t>(m) >= threshold) return static_cast<std::uint64_t>(m >> 64);
        }
    }

private:
    static constexpr std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    std::uint64_t s_[4];
};

}  // namespace nongauss
