#include "nongauss/heap.hpp"

#include <cstdint>
#include <cstdlib>

#if defined(__linux__) && defined(__GLIBC__)
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>
#define NONGAUSS_HEAP_SETUP 1
#endif

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define NONGAUSS_SANITIZED_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define NONGAUSS_SANITIZED_HEAP 1
#endif
#endif

namespace nongauss {

bool prepare_heap([[maybe_unused]] std::size_t reserve_bytes) {
#if defined(NONGAUSS_HEAP_SETUP) && !defined(NONGAUSS_SANITIZED_HEAP)
    // Every block below 1 GiB from the main heap, and its top never trimmed:
    // what one stage frees the next one reuses. Other threads allocate there
    // too (one arena): a thread's own arena would lie in 4 KiB pages and keep
    // what it frees to itself. The threads of a run allocate a few large
    // blocks each, so they seldom wait for one another.
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    mallopt(M_ARENA_MAX, 1);
    if (reserve_bytes == 0 || reserve_bytes >= (std::size_t{1} << 30)) return false;
    // One block of the reserve grows the heap's top; freed, it stays there as
    // free space for the run's arrays.
    void* const block = std::malloc(reserve_bytes);
    if (block == nullptr) return false;
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto begin = (reinterpret_cast<std::uintptr_t>(block) + page - 1) / page * page;
    const auto end = reinterpret_cast<std::uintptr_t>(sbrk(0)) / page * page;
    bool marked = false;
    // Only when the block lies in the heap below its end (not in a mapping
    // of its own, which freeing would return).
    if (end > begin && end - begin >= reserve_bytes / 2 &&
        reinterpret_cast<std::uintptr_t>(block) + reserve_bytes <= end + page)
        marked = madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE) == 0;
    std::free(block);
    return marked;
#else
    return false;
#endif
}

}  // namespace nongauss
