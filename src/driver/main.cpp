// nongauss: non-Gaussian analysis of heart-rate variability.
#include "driver/run.hpp"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

int main(int argc, char** argv) {
#if defined(__GLIBC__)
    // The large arrays of a run come from the heap, and what one stage frees
    // the next one reuses: fresh pages, each a fault to fill with zeros, are
    // then taken only as the run's peak memory grows.
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
#endif
    return nongauss::run_command_line(argc, argv);
}
