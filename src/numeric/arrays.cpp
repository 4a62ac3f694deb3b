#include "numeric/arrays.hpp"

#include <cstdint>
#include <cstdlib>

#include "numeric/fatal_error.hpp"

namespace nongauss {

namespace {

// Heap block of `count` elements of `size` bytes, or nullptr when the request
// is negative, too large for the block limit, or refused by the heap.
void* obtain_block(long long count, std::size_t size) {
    if (count < 0) return nullptr;
    if (static_cast<unsigned long long>(count) > max_block_bytes / size) return nullptr;
    const std::size_t bytes = static_cast<std::size_t>(count) * size;
    void* block = std::malloc(bytes == 0 ? 1 : bytes);
    return block;
}

void release_block(void* block) {
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

}  // namespace nongauss
