#pragma once

// Unit-offset arrays: arrays addressed over an index range [nl..nh] chosen at
// allocation. The storage is one heap block whose first slot is a spare slot
// at index nl - 1; for nl = 1 the handle is the block address itself, so a
// 1-based double array can be grown with std::realloc through its handle.
// Elements are not initialised. Release an array with the same lower bounds it
// was made with; the upper bounds are accepted and ignored.
//
// A request that cannot be had ends the process through fatal_error with the
// allocator's message. A single block larger than `max_block_bytes` is never
// requested from the heap: it fails at once, before any memory is touched.

#include <cstddef>

namespace nongauss {

/// Largest heap block an allocator asks for (2 GiB).
inline constexpr std::size_t max_block_bytes = std::size_t{1} << 31;

/// Double array [nl..nh]; "allocation failure in vector()" on failure.
/// nh = nl - 1 gives a valid array with no elements.
double* vector(int nl, int nh);

/// Int array [nl..nh]; "allocation failure in ivector()" on failure.
int* ivector(int nl, int nh);

/// Double matrix [nrl..nrh][ncl..nch] (nrh >= nrl): a row table plus one data
/// block holding all elements row after row. "allocation failure 1 in
/// matrix()" when the row table cannot be had, "allocation failure 2 in
/// matrix()" when the data block cannot be had.
double** matrix(int nrl, int nrh, int ncl, int nch);

void release_vector(double* v, int nl, int nh);
void release_ivector(int* v, int nl, int nh);
void release_matrix(double** m, int nrl, int nrh, int ncl, int nch);

/// Grows (or shrinks) the block of a 1-based double array to `count` elements
/// counted from index 0, keeping the values stored. Returns the new handle, or
/// nullptr (the old array stays valid) when the block cannot be had.
double* resize_vector(double* v, long long count);

#ifdef NONGAUSS_FUZZING
/// Fuzzing builds only (never defined in the tool): the number of blocks the
/// allocators hold out, and the release of all of them, for a harness that
/// survives fatal_error and must reclaim the arrays of the run it ended.
std::size_t blocks_held();
void release_all_blocks();
#endif

}  // namespace nongauss
