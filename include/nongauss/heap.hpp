#pragma once

// The heap of a whole-run program (nongauss, nongauss-scan): called once at
// the start of main, before the run allocates its arrays.
//
// Freed memory is kept and reused rather than returned to the system, and the
// heap is grown once by `reserve_bytes` of address space marked for huge
// pages, so that the large arrays of a run are filled in 2 MiB pages (a page
// fault costs about as much for 2 MiB as for 4 KiB), and other threads
// allocate from the same heap.
// Address space that is never touched costs no memory.
// Where the reservation cannot be had (an address-space limit, a sanitizer's
// allocator) the heap is left as it is. Changes where memory lies, never what
// is stored in it.

#include <cstddef>

namespace nongauss {

inline constexpr std::size_t default_heap_reserve = std::size_t{256} << 20;

/// True when the huge-page reservation was made.
bool prepare_heap(std::size_t reserve_bytes = default_heap_reserve);

}  // namespace nongauss
