#include "numeric/parallel.hpp"

#include <thread>

namespace nongauss {

namespace {

// The limit of the loops started from this thread; 0: none.
thread_local int thread_limit = 0;

// The processor count, read once: the C library reads it from the system
// on every call, and a run asks before every parallel loop.
unsigned processor_count() {
    static const unsigned n = std::thread::hardware_concurrency();
    return n;
}

}  // namespace

int worker_threads() {
    const unsigned n = processor_count();
    int threads = n < 1 ? 1 : (n > 16 ? 16 : static_cast<int>(n));
    if (thread_limit > 0 && thread_limit < threads) threads = thread_limit;
    return threads;
}

ThreadLimit::ThreadLimit(int threads) : previous_(thread_limit) {
    if (threads > 0) thread_limit = threads;
}

ThreadLimit::~ThreadLimit() { thread_limit = previous_; }

}  // namespace nongauss
