// A fresh process that prepares its heap as nongauss does and prints whether
// the reservation was made and whether a block allocated on another thread
// lies in the same heap, between a block of the main thread and the heap's end.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <unistd.h>

#include <thread>

#include "nongauss/heap.hpp"

int main() {
    const bool marked = nongauss::prepare_heap();
    // All blocks before the first output, which allocates a buffer of its own.
    void* const first = std::malloc(200000);
    void* on_thread = nullptr;
    std::thread([&on_thread] { on_thread = std::malloc(300000); }).join();
    const auto at = reinterpret_cast<std::uintptr_t>(on_thread);
    const bool in_heap = at > reinterpret_cast<std::uintptr_t>(first) && at < reinterpret_cast<std::uintptr_t>(sbrk(0));
    std::printf("%s %d\n", marked ? "marked" : "unmarked", in_heap ? 1 : 0);
    std::free(on_thread);
    std::free(first);
    return 0;
}
