#include "nongauss/thread_pool.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace nongauss {
namespace {

TEST(ThreadPool, PartsCoverEveryIndexOnceInOrderedParts) {
    for (const int threads : {1, 2, 4}) {
        ThreadPool pool(threads);
        EXPECT_EQ(pool.size(), threads);
        for (long count : {0L, 1L, 7L, 100L, 1001L, 65536L})
            for (long min_part : {1L, 10L, 1000L})
                for (int max_parts : {0, 1, 2, 3, 8}) {
                    std::vector<std::atomic<int>> seen(static_cast<std::size_t>(count));
                    std::vector<long> begins(16, -1), ends(16, -1);
                    pool.parallel_parts(5, 5 + count, min_part, [&](int part, long begin, long end) {
                        begins[static_cast<std::size_t>(part)] = begin;
                        ends[static_cast<std::size_t>(part)] = end;
                        for (long i = begin; i < end; ++i) ++seen[static_cast<std::size_t>(i - 5)];
                    }, max_parts);
                    for (const auto& s : seen) ASSERT_EQ(s.load(), 1) << count << " " << min_part << " " << max_parts;
                    int parts = 0;
                    while (parts < 16 && begins[static_cast<std::size_t>(parts)] >= 0) ++parts;
                    if (count == 0) {
                        EXPECT_EQ(parts, 0);
                        continue;
                    }
                    EXPECT_EQ(begins[0], 5);
                    EXPECT_EQ(ends[static_cast<std::size_t>(parts - 1)], 5 + count);
                    EXPECT_LE(parts, max_parts > 0 ? max_parts : threads);
                    for (int k = 1; k < parts; ++k)
                        EXPECT_EQ(begins[static_cast<std::size_t>(k)], ends[static_cast<std::size_t>(k - 1)]);
                    for (int k = 0; parts > 1 && k < parts; ++k)
                        EXPECT_GE(ends[static_cast<std::size_t>(k)] - begins[static_cast<std::size_t>(k)], min_part);
                }
    }
}

TEST(ThreadPool, EveryPartEndsBeforeTheLowestFailureIsThrown) {
    ThreadPool pool(4);
    std::atomic<int> ended{0};
    try {
        pool.parallel_parts(0, 8, 1, [&](int part, long, long) {
            ++ended;
            if (part % 3 == 2) throw std::runtime_error(std::to_string(part));
        }, 8);
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "2");
    }
    EXPECT_EQ(ended.load(), 8);
}

// Items are consumed on the calling thread in order, never more than the
// window ahead; a failure stops the items after it, the items before it are
// consumed, and it is thrown.
TEST(ThreadPool, OrderedResultsComeBackInOrderWithinTheWindow) {
    for (const int threads : {1, 2, 4}) {
        ThreadPool pool(threads);
        for (const long window : {1L, 2L, 5L}) {
            for (const long fail_at : {-1L, 0L, 13L}) {
                std::vector<int> produced(40, 0);
                std::vector<long> consumed;
                std::atomic<long> consumed_count{0};
                std::atomic<long> started{0};
                std::atomic<bool> ahead{false};
                const auto caller = std::this_thread::get_id();
                const auto run = [&] {
                    pool.ordered(40, window,
                                 [&](long i) {
                                     started = std::max(started.load(), i + 1);
                                     if (i >= consumed_count.load() + window) ahead = true;
                                     if (i == fail_at) throw std::runtime_error("item " + std::to_string(i));
                                     produced[static_cast<std::size_t>(i)] = 1;
                                 },
                                 [&](long i) {
                                     EXPECT_EQ(std::this_thread::get_id(), caller);
                                     EXPECT_EQ(produced[static_cast<std::size_t>(i)], 1);
                                     consumed.push_back(i);
                                     ++consumed_count;
                                 });
                };
                if (fail_at < 0) {
                    run();
                    EXPECT_EQ(consumed.size(), 40u);
                } else {
                    EXPECT_THROW(run(), std::runtime_error);
                    EXPECT_EQ(static_cast<long>(consumed.size()), fail_at);
                    EXPECT_LE(started.load(), fail_at + window) << "no item started after the failure was seen";
                }
                for (std::size_t k = 0; k < consumed.size(); ++k) EXPECT_EQ(consumed[k], static_cast<long>(k));
                EXPECT_FALSE(ahead.load()) << threads << " " << window;
            }
        }
    }
}

TEST(ThreadPool, BesideRunsBothAndThrowsTheForegroundsFailureFirst) {
    for (const int threads : {1, 2}) {
        ThreadPool pool(threads);
        int background = 0;
        int foreground = 0;
        pool.beside([&] { ++background; }, [&] { ++foreground; });
        EXPECT_EQ(background + foreground, 2);
        EXPECT_THROW(pool.beside([] { throw std::logic_error("back"); }, [] {}), std::logic_error);
        try {
            pool.beside([&] { ++background; throw std::logic_error("back"); },
                        [] { throw std::runtime_error("front"); });
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "front");
        }
        EXPECT_EQ(background, 2);
    }
}

// Jobs inside jobs, from several threads at once on one small pool: every
// call returns with its own work done.
TEST(ThreadPool, SeveralThreadsAndNestedJobsShareOnePool) {
    ThreadPool pool(2);
    std::vector<long> sums(4, 0);
    std::vector<std::thread> users;
    for (int t = 0; t < 4; ++t)
        users.emplace_back([&, t] {
            std::vector<long> items(30, 0);
            pool.ordered(30, 3,
                         [&](long i) {
                             std::atomic<long> inner{0};
                             pool.parallel_parts(0, 1000, 10, [&](int, long begin, long end) {
                                 for (long k = begin; k < end; ++k) inner += k;
                             });
                             items[static_cast<std::size_t>(i)] = inner + i;
                         },
                         [&](long i) { sums[static_cast<std::size_t>(t)] += items[static_cast<std::size_t>(i)]; });
        });
    for (auto& u : users) u.join();
    for (const long s : sums) EXPECT_EQ(s, 30 * 499500L + 435);
}

}  // namespace
}  // namespace nongauss
