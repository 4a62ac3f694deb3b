#pragma once

// Loops whose iterations are independent, spread over the processor's cores.
// Only work whose result cannot depend on the split goes through here: every
// iteration computes the same values in the same order whichever thread runs it.

#include <exception>
#include <system_error>
#include <vector>

#include "numeric/worker_thread.hpp"

namespace nongauss {

/// Threads the parallel loops of the calling thread use: the hardware's
/// concurrency, at least 1 and at most 16, and at most the calling thread's
/// limit (see ThreadLimit).
int worker_threads();

/// While it lives, the parallel loops started from the constructing thread use
/// at most `threads` threads (0: no limit beyond the hardware's). Limits nest;
/// the previous one comes back when this one goes. Per thread: analyses on
/// other threads are not affected.
class ThreadLimit {
public:
    explicit ThreadLimit(int threads);
    ~ThreadLimit();
    ThreadLimit(const ThreadLimit&) = delete;
    ThreadLimit& operator=(const ThreadLimit&) = delete;

private:
    int previous_;
};

/// Splits [first, last) into consecutive parts of at least `min_part`
/// iterations each (one part when the range is shorter), at most `max_parts`
/// of them (worker_threads() when max_parts <= 0), and calls
/// body(part, begin, end) for every part, part = 0, 1, ...: part 0 on the
/// calling thread, each other part on a thread of its own (a WorkerThread;
/// on the calling thread when a thread cannot be started). Returns when all parts are done.
/// When bodies throw, every part still ends first, then the exception of the
/// lowest-numbered part that threw is rethrown on the calling thread.
template <typename Body>
void parallel_parts(long first, long last, long min_part, const Body& body, int max_parts = 0) {
    const long count = last - first;
    if (count <= 0) return;
    long parts = max_parts > 0 ? max_parts : worker_threads();
    if (min_part < 1) min_part = 1;
    if (count / min_part < parts) parts = count / min_part;
    if (parts <= 1) {
        body(0, first, last);
        return;
    }
    const auto bound = [first, count, parts](long k) { return first + count / parts * k + count % parts * k / parts; };
    std::vector<std::exception_ptr> failed(static_cast<std::size_t>(parts));
    const auto run_part = [&body, &failed](int part, long begin, long end) {
        try {
            body(part, begin, end);
        } catch (...) {
            failed[static_cast<std::size_t>(part)] = std::current_exception();
        }
    };
    std::vector<WorkerThread> threads;
    threads.reserve(static_cast<std::size_t>(parts - 1));
    for (long k = 1; k < parts; ++k) {
        const long begin = bound(k);
        const long end = bound(k + 1);
        const int part = static_cast<int>(k);
        try {
            threads.emplace_back([&run_part, part, begin, end] { run_part(part, begin, end); });
        } catch (const std::system_error&) {
            run_part(part, begin, end);
        }
    }
    run_part(0, bound(0), bound(1));
    for (auto& t : threads) t.join();
    for (const auto& e : failed)
        if (e) std::rethrow_exception(e);
}

}  // namespace nongauss
