#pragma once

// The rank order of an IAAFT iterate: the indices of its values in ascending
// order, equal values in index order (what any stable sort gives; -0 below
// +0, as their bits order them).

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <tuple>
#include <utility>
#include <vector>

namespace nongauss::surrogates {

// Order-preserving 64-bit key of a double (no NaN): negative values reversed
// below the positive ones.
inline std::uint64_t order_key(double x) {
    const auto bits = std::bit_cast<std::uint64_t>(x);
    return (bits >> 63) != 0 ? ~bits : bits | (std::uint64_t{1} << 63);
}

// The indices of y in ascending order of value, equal values in index order.
// One pass spreads the keys over about n buckets by their leading bits above
// the smallest key (in index order, so each bucket keeps it); each bucket is
// then sorted by (key, index): insertion for a few entries, std::sort for
// more (so a bunched distribution costs n log n at worst). The order is the
// same as any stable sort's. The result is `index`, which a caller may swap
// out between calls.
struct ArgSort {
    std::vector<std::uint64_t> key, bucket_key;
    std::vector<std::uint32_t> start, index;
    std::vector<std::pair<std::uint64_t, std::uint32_t>> part;  // a large bucket, sorted

    const std::vector<std::uint32_t>& operator()(const double* y, std::size_t n) {
        key.resize(n);
        bucket_key.resize(n);
        index.resize(n);
        if (n == 0) return index;
        std::uint64_t low = ~std::uint64_t{0}, high = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint64_t k = order_key(y[i]);
            key[i] = k;
            low = std::min(low, k);
            high = std::max(high, k);
        }
        // The number of buckets, a power of two near n, and the shift that
        // maps high - low below it.
        const int bucket_bits = std::max(1, static_cast<int>(std::bit_width(n)) - 1);
        const int range_bits = static_cast<int>(std::bit_width(high - low));
        const int shift = std::max(0, range_bits - bucket_bits);
        const std::size_t buckets = std::size_t{1} << bucket_bits;
        start.assign(buckets + 1, 0);
        for (std::size_t i = 0; i < n; ++i) ++start[((key[i] - low) >> shift) + 1];
        for (std::size_t b = 0; b < buckets; ++b) start[b + 1] += start[b];
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint32_t to = start[(key[i] - low) >> shift]++;
            bucket_key[to] = key[i];
            index[to] = static_cast<std::uint32_t>(i);
        }
        // start[b] is now the end of bucket b.
        std::size_t begin = 0;
        for (std::size_t b = 0; b < buckets; ++b) {
            const std::size_t end = start[b];
            if (end - begin > 32) {
                part.resize(end - begin);
                for (std::size_t i = begin; i < end; ++i) part[i - begin] = {bucket_key[i], index[i]};
                std::sort(part.begin(), part.end());
                for (std::size_t i = begin; i < end; ++i) std::tie(bucket_key[i], index[i]) = part[i - begin];
            } else {
                for (std::size_t i = begin + 1; i < end; ++i) {
                    const std::uint64_t k = bucket_key[i];
                    const std::uint32_t x = index[i];
                    std::size_t j = i;
                    // Entered in index order, so a key equal to one before
                    // stays after it.
                    for (; j > begin && bucket_key[j - 1] > k; --j) {
                        bucket_key[j] = bucket_key[j - 1];
                        index[j] = index[j - 1];
                    }
                    bucket_key[j] = k;
                    index[j] = x;
                }
            }
            begin = end;
        }
        return index;
    }
};

}  // namespace nongauss::surrogates
