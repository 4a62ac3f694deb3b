#pragma once

// The tests' deterministic numbers and their exact comparison.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace nongauss::testing {

/// Marsaglia's xorshift64 (13, 7, 17): the same sequence everywhere, for
/// every series a test makes.
class Xorshift {
public:
    static constexpr std::uint64_t default_seed = 88172645463325252ULL;
    explicit Xorshift(std::uint64_t seed = default_seed) : x_(seed) {}
    /// The next number of the sequence (the first is the seed's successor).
    std::uint64_t next() {
        x_ ^= x_ << 13, x_ ^= x_ >> 7, x_ ^= x_ << 17;
        return x_;
    }

private:
    std::uint64_t x_;
};

/// The same double, bit for bit (NaNs of one payload equal; 0 and -0 not).
inline bool same_bits(double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }

inline bool same_bits(const std::vector<double>& a, const std::vector<double>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!same_bits(a[i], b[i])) return false;
    return true;
}

}  // namespace nongauss::testing
