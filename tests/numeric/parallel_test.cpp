#include "numeric/parallel.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

namespace nongauss {
namespace {

TEST(ParallelParts, EveryIndexOnceInOrderedParts) {
    EXPECT_GE(worker_threads(), 1);
    for (long count : {0L, 1L, 7L, 100L, 1001L, 65536L})
        for (long min_part : {1L, 10L, 1000L})
            for (int max_parts : {0, 1, 2, 3, 8}) {
                std::vector<std::atomic<int>> seen(static_cast<std::size_t>(count));
                std::vector<long> begins(16, -1), ends(16, -1);
                parallel_parts(5, 5 + count, min_part, [&](int part, long begin, long end) {
                    begins[static_cast<std::size_t>(part)] = begin;
                    ends[static_cast<std::size_t>(part)] = end;
                    for (long i = begin; i < end; ++i) ++seen[static_cast<std::size_t>(i - 5)];
                }, max_parts);
                for (const auto& s : seen) ASSERT_EQ(s.load(), 1) << count << " " << min_part << " " << max_parts;
                // Parts are consecutive from part 0, each of at least min_part
                // iterations unless there is only one.
                int parts = 0;
                while (parts < 16 && begins[static_cast<std::size_t>(parts)] >= 0) ++parts;
                if (count == 0) {
                    EXPECT_EQ(parts, 0);
                    continue;
                }
                EXPECT_EQ(begins[0], 5);
                EXPECT_EQ(ends[static_cast<std::size_t>(parts - 1)], 5 + count);
                EXPECT_LE(parts, max_parts > 0 ? max_parts : worker_threads());
                for (int k = 1; k < parts; ++k) EXPECT_EQ(begins[static_cast<std::size_t>(k)], ends[static_cast<std::size_t>(k - 1)]);
                if (parts > 1) {
                    for (int k = 0; k < parts; ++k)
                        EXPECT_GE(ends[static_cast<std::size_t>(k)] - begins[static_cast<std::size_t>(k)], min_part);
                }
            }
}

}  // namespace
}  // namespace nongauss
