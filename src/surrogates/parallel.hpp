#pragma once

// Independent tasks 0..count-1 on a pool: each task's result goes to its own
// slot, so nothing depends on which thread ran it or when.

#include <cstddef>

#include "nongauss/thread_pool.hpp"

namespace nongauss::surrogates {

/// Runs task(k) for every k < count, one task a part, on `pool` (the calling
/// thread one of its threads), or in order on the calling thread when there
/// is no pool. When tasks throw, every task still runs, then the exception of
/// the lowest k is rethrown.
template <typename Task>
void for_each_task(ThreadPool* pool, std::size_t count, Task&& task) {
    if (pool == nullptr || pool->size() <= 1 || count <= 1) {
        for (std::size_t k = 0; k < count; ++k) task(k);
        return;
    }
    pool->parallel_parts(
        0, static_cast<long>(count), 1,
        [&](int, long begin, long end) {
            for (long k = begin; k < end; ++k) task(static_cast<std::size_t>(k));
        },
        static_cast<int>(count));
}

}  // namespace nongauss::surrogates
