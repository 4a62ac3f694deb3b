#pragma once

// Independent tasks 0..count-1 over a few threads: each task's result goes to
// its own slot, so nothing depends on which thread ran it or when. (The
// library's thread pool takes this over once it is in place.)

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <thread>
#include <vector>

namespace nongauss::surrogates {

/// `threads` as the options give it (0 = the processor's count, at most 16),
/// at least 1 and no more than `tasks`.
inline unsigned thread_count(int threads, std::size_t tasks) {
    const unsigned t = threads > 0 ? static_cast<unsigned>(threads)
                                   : std::clamp(std::thread::hardware_concurrency(), 1u, 16u);
    return static_cast<unsigned>(std::max<std::size_t>(1, std::min<std::size_t>(t, tasks)));
}

/// Runs task(k) for every k < count, the calling thread one of the threads.
/// An exception of a task is kept; after all tasks the one of the lowest k is
/// thrown.
template <typename Task>
void run_tasks(std::size_t count, int threads, Task&& task) {
    std::atomic<std::size_t> next{0};
    std::vector<std::exception_ptr> failure(count);
    auto work = [&] {
        for (std::size_t k; (k = next.fetch_add(1)) < count;) {
            try {
                task(k);
            } catch (...) {
                failure[k] = std::current_exception();
            }
        }
    };
    std::vector<std::thread> pool;
    const unsigned n = thread_count(threads, count);
    try {
        for (unsigned t = 1; t < n; ++t) pool.emplace_back(work);
    } catch (...) {
        // No more threads: the ones there are (and this one) do the work.
    }
    work();
    for (auto& t : pool) t.join();
    for (const auto& f : failure)
        if (f) std::rethrow_exception(f);
}

}  // namespace nongauss::surrogates
