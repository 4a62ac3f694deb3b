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

#if defined(NONGAUSS_HEAP_SETUP) && !defined(NONGAUSS_SANITIZED_HEAP)
namespace {

// Kept for the whole run (reachable, never touched beyond its first bytes).
void* boundary_block = nullptr;

// A huge page lies in the advised memory whole or not at all, and the heap
// begins anywhere within 2 MiB: the first blocks of a run would fill the
// 4 KiB pages below the first boundary one fault at a time, at four times
// the cost per byte. A block that reaches from the start of the free space
// (`free_start`, where the reserve lay) to just below a boundary is kept, so
// that the blocks that follow begin there. It spans at least 64 KiB (the next
// boundary is taken when the first is nearer), too much for the small free
// blocks of a starting program to serve it; where it still does not land at
// `free_start`, it is given back.
void skip_to_huge_page_boundary(std::uintptr_t free_start) {
    constexpr std::uintptr_t huge_page = std::uintptr_t{2} << 20;
    std::uintptr_t boundary = (free_start + huge_page - 1) / huge_page * huge_page;
    if (boundary - free_start < (std::uintptr_t{64} << 10)) boundary += huge_page;
    // A block of n bytes spans n + 8 rounded up to 16, from 16 bytes below
    // its address: this one ends where the next block's 16 bytes of
    // bookkeeping lie, below the boundary.
    void* const block = std::malloc(boundary - free_start - 16);
    if (reinterpret_cast<std::uintptr_t>(block) == free_start)
        boundary_block = block;
    else
        std::free(block);
}

}  // namespace
#endif

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
    if (marked) skip_to_huge_page_boundary(reinterpret_cast<std::uintptr_t>(block));
    return marked;
#else
    return false;
#endif
}

}  // namespace nongauss
