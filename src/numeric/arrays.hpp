#pragma once

// Unit-offset arrays: arrays addressed over an index range [nl..nh] chosen at
// allocation. The storage is one heap block whose first slot is a spare slot
// at index nl - 1; for nl = 1 the handle is the block address itself, so a
// 1-based double array can be grown with std::realloc through its handle.
// Elements are not initialised. Release an array with the same lower bounds it
// was made with; the upper bounds are accepted and ignored.
//
// A request that cannot be had throws (fatal_error) with the allocator's
// message. A single block larger than `max_block_bytes` is never
// requested from the heap: it fails at once, before any memory is touched.

#include <cstddef>
#include <cstdint>

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

/// A unit-offset handle onto zero-based storage: unit_offset(p)[1] is p[0].
/// Computed on the integer representation, as the allocators' handles are.
template <typename T>
T* unit_offset(T* zero_based) {
    return reinterpret_cast<T*>(reinterpret_cast<std::uintptr_t>(zero_based) - sizeof(T));
}

/// Owners of the arrays above: each makes its array as the function of the
/// same name does (same request, same message on failure) and releases it when
/// it goes. They convert to the handle, so a[i] and a[i][j] read as before.
class OwnedVector {
public:
    OwnedVector() = default;
    OwnedVector(int nl, int nh) : v_(vector(nl, nh)), nl_(nl) {}
    ~OwnedVector() { reset(); }
    OwnedVector(OwnedVector&& o) noexcept : v_(o.v_), nl_(o.nl_) { o.v_ = nullptr; }
    OwnedVector& operator=(OwnedVector&& o) noexcept {
        if (this != &o) {
            reset();
            v_ = o.v_;
            nl_ = o.nl_;
            o.v_ = nullptr;
        }
        return *this;
    }
    operator double*() const noexcept { return v_; }
    double* get() const noexcept { return v_; }
    void reset() noexcept {
        if (v_ != nullptr) release_vector(v_, nl_, nl_);
        v_ = nullptr;
    }

private:
    double* v_ = nullptr;
    int nl_ = 1;
};

class OwnedIVector {
public:
    OwnedIVector(int nl, int nh) : v_(ivector(nl, nh)), nl_(nl) {}
    ~OwnedIVector() { release_ivector(v_, nl_, nl_); }
    OwnedIVector(const OwnedIVector&) = delete;
    OwnedIVector& operator=(const OwnedIVector&) = delete;
    operator int*() const noexcept { return v_; }

private:
    int* v_;
    int nl_;
};

class OwnedMatrix {
public:
    OwnedMatrix() = default;
    OwnedMatrix(int nrl, int nrh, int ncl, int nch) : m_(matrix(nrl, nrh, ncl, nch)), nrl_(nrl), ncl_(ncl) {}
    ~OwnedMatrix() { reset(); }
    OwnedMatrix(OwnedMatrix&& o) noexcept : m_(o.m_), nrl_(o.nrl_), ncl_(o.ncl_) { o.m_ = nullptr; }
    OwnedMatrix& operator=(OwnedMatrix&& o) noexcept {
        if (this != &o) {
            reset();
            m_ = o.m_;
            nrl_ = o.nrl_;
            ncl_ = o.ncl_;
            o.m_ = nullptr;
        }
        return *this;
    }
    operator double**() const noexcept { return m_; }
    void reset() noexcept {
        if (m_ != nullptr) release_matrix(m_, nrl_, nrl_, ncl_, ncl_);
        m_ = nullptr;
    }

private:
    double** m_ = nullptr;
    int nrl_ = 1;
    int ncl_ = 1;
};

}  // namespace nongauss
