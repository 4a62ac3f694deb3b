#include "numeric/worker_thread.hpp"

#include <gtest/gtest.h>
#include <sched.h>

#include <atomic>
#include <cstring>
#include <utility>
#include <vector>

namespace nongauss {
namespace {

bool same_set(const cpu_set_t& a, const cpu_set_t& b) { return CPU_EQUAL(&a, &b) != 0; }

// The thread runs its body once, may use every core its starter may use once
// it runs, and is joined by join(), by its destructor or by assignment.
TEST(WorkerThread, RunsOnceWithTheStartersCoresAndIsAlwaysJoined) {
    cpu_set_t mine;
    ASSERT_EQ(sched_getaffinity(0, sizeof mine, &mine), 0);
    std::atomic<int> runs{0};
    cpu_set_t seen;
    CPU_ZERO(&seen);
    {
        WorkerThread t([&] {
            sched_getaffinity(0, sizeof seen, &seen);
            ++runs;
        });
        EXPECT_TRUE(t.joinable());
        t.join();
        EXPECT_FALSE(t.joinable());
        t.join();  // a second join does nothing
    }
    EXPECT_EQ(runs.load(), 1);
    EXPECT_TRUE(same_set(seen, mine));

    // Moved, assigned over a running thread, and left to the destructor.
    std::vector<WorkerThread> threads;
    for (int i = 0; i < 8; ++i) threads.emplace_back([&runs] { ++runs; });
    WorkerThread moved(std::move(threads[0]));
    EXPECT_FALSE(threads[0].joinable());
    threads[1] = WorkerThread([&runs] { ++runs; });  // joins the thread it replaces
    threads.clear();
    moved = WorkerThread();
    EXPECT_EQ(runs.load(), 1 + 8 + 1);
}

// A starter limited to one core starts an ordinary thread on that core.
TEST(WorkerThread, OneAllowedCoreIsKept) {
    cpu_set_t mine;
    ASSERT_EQ(sched_getaffinity(0, sizeof mine, &mine), 0);
    const int here = sched_getcpu();
    ASSERT_GE(here, 0);
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(here, &one);
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
    cpu_set_t seen;
    CPU_ZERO(&seen);
    int cpu = -1;
    WorkerThread([&] {
        sched_getaffinity(0, sizeof seen, &seen);
        cpu = sched_getcpu();
    }).join();
    sched_setaffinity(0, sizeof mine, &mine);
    EXPECT_TRUE(same_set(seen, one));
    EXPECT_EQ(cpu, here);
}

}  // namespace
}  // namespace nongauss
