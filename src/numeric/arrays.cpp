#include "numeric/arrays.hpp"

#include <cstdint>
#include <cstdlib>
#ifdef NONGAUSS_FUZZING
#include <mutex>
#include <unordered_set>
#endif

#include "numeric/fatal_error.hpp"

namespace nongauss {

namespace {

#ifdef NONGAUSS_FUZZING
// Every block the allocators hold out, so that a harness can reclaim the
// arrays of a run that fatal_error left behind.
// Worker threads allocate too, so the record is guarded.
std::unordered_set<void*>& held_blocks() {
    static std::unordered_set<void*> blocks;
    return blocks;
}
std::mutex& held_blocks_mutex() {
    static std::mutex m;
    return m;
}
void note_obtained(void* block) {
    if (block == nullptr) return;
    const std::lock_guard<std::mutex> lock(held_blocks_mutex());
    held_blocks().insert(block);
}
void note_released(void* block) {
    const std::lock_guard<std::mutex> lock(held_blocks_mutex());
    held_blocks().erase(block);
}
#else
void note_obtained(void*) {}
void note_released(void*) {}
#endif

// Heap block of `count` elements of `size` bytes, or nullptr when the request
// is negative, too large for the block limit, or refused by the heap.
void* obtain_block(long long count, std::size_t size) {
    if (count < 0) return nullptr;
    if (static_cast<unsigned long long>(count) > max_block_bytes / size) return nullptr;
    const std::size_t bytes = static_cast<std::size_t>(count) * size;
    void* block = std::malloc(bytes == 0 ? 1 : bytes);
    note_obtained(block);
    return block;
}

void release_block(void* block) {
    note_released(block);
    std::free(block);
}

// A handle that addresses `block` as index `first`: the block address moved
// by `first` elements. Computed on the integer representation, because for a
// lower bound other than 0 the handle itself points outside the block.
template <typename T>
T* shifted(T* block, long long first) {
    return reinterpret_cast<T*>(reinterpret_cast<std::intptr_t>(block) -
                                static_cast<std::intptr_t>(first) *
                                    static_cast<std::intptr_t>(sizeof(T)));
}

}  // namespace

double* vector(int nl, int nh) {
    const long long count = static_cast<long long>(nh) - nl + 2;
    auto* block = static_cast<double*>(obtain_block(count, sizeof(double)));
    if (block == nullptr) fatal_error("allocation failure in vector()");
    return shifted(block, static_cast<long long>(nl) - 1);  // spare slot at nl - 1
}

int* ivector(int nl, int nh) {
    const long long count = static_cast<long long>(nh) - nl + 2;
    auto* block = static_cast<int*>(obtain_block(count, sizeof(int)));
    if (block == nullptr) fatal_error("allocation failure in ivector()");
    return shifted(block, static_cast<long long>(nl) - 1);
}

double** matrix(int nrl, int nrh, int ncl, int nch) {
    const long long nrow = static_cast<long long>(nrh) - nrl + 1;
    const long long ncol = static_cast<long long>(nch) - ncl + 1;

    auto* rows = static_cast<double**>(obtain_block(nrow + 1, sizeof(double*)));
    if (rows == nullptr) fatal_error("allocation failure 1 in matrix()");
    double** m = shifted(rows, static_cast<long long>(nrl) - 1);

    long long cells = -1;
    if (ncol >= 0 && (ncol == 0 || nrow <= (static_cast<long long>(max_block_bytes) / ncol)))
        cells = nrow * ncol + 1;
    auto* data = static_cast<double*>(obtain_block(cells, sizeof(double)));
    if (data == nullptr) {
        // The process ends either way; the row table is not left to a leak checker.
        release_block(rows);
        fatal_error("allocation failure 2 in matrix()");
    }

    // Row i addresses data slot 1 + (i - nrl) * ncol as its column ncl.
    for (long long i = nrl; i <= nrh; ++i)
        m[i] = shifted(data, static_cast<long long>(ncl) - 1 - (i - nrl) * ncol);
    return m;
}

void release_vector(double* v, int nl, int /*nh*/) {
    release_block(shifted(v, 1 - static_cast<long long>(nl)));
}

void release_ivector(int* v, int nl, int /*nh*/) {
    release_block(shifted(v, 1 - static_cast<long long>(nl)));
}

void release_matrix(double** m, int nrl, int /*nrh*/, int ncl, int /*nch*/) {
    release_block(shifted(m[nrl], 1 - static_cast<long long>(ncl)));  // data block first
    release_block(shifted(m, 1 - static_cast<long long>(nrl)));        // then the row table
}

double* resize_vector(double* v, long long count) {
    if (count < 0 || static_cast<unsigned long long>(count) > max_block_bytes / sizeof(double))
        return nullptr;
    void* grown = std::realloc(v, static_cast<std::size_t>(count) * sizeof(double));
    if (grown != nullptr) {
        note_released(v);
        note_obtained(grown);
    }
    return static_cast<double*>(grown);
}

#ifdef NONGAUSS_FUZZING
std::size_t blocks_held() {
    const std::lock_guard<std::mutex> lock(held_blocks_mutex());
    return held_blocks().size();
}

void release_all_blocks() {
    const std::lock_guard<std::mutex> lock(held_blocks_mutex());
    for (void* block : held_blocks()) std::free(block);
    held_blocks().clear();
}
#endif

}  // namespace nongauss
