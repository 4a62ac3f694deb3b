#pragma once

// Thread pools for the tests of the library's parallel parts: one of 1, 2 or
// 4 threads, made on first use and kept for the test program's life.

#include "nongauss/thread_pool.hpp"

namespace nongauss::testing {

inline ThreadPool& pool_of(int threads = 2) {
    static ThreadPool one(1);
    static ThreadPool two(2);
    static ThreadPool four(4);
    return threads == 1 ? one : (threads == 4 ? four : two);
}

}  // namespace nongauss::testing
