// nongauss: non-Gaussian analysis of heart-rate variability.
#include <fcntl.h>

#include "driver/run.hpp"
#include "nongauss/output_file.hpp"
#include "nongauss/thread_pool.hpp"
#include "nongauss/heap.hpp"

int main(int argc, char** argv) {
    // A standard stream closed by the caller would otherwise be taken by the
    // first output file, and the transcript would land in it.
    for (int fd = 0; fd <= 2; ++fd)
        if (fcntl(fd, F_GETFD) == -1 && open("/dev/null", O_RDWR) == -1) return 1;
    nongauss::install_output_cleanup();
    // The large arrays of a run come from the heap, and what one stage frees
    // the next one reuses: fresh pages, each a fault to fill with zeros, are
    // then taken only as the run's peak memory grows, and in 2 MiB pages.
    nongauss::prepare_heap();
    nongauss::ThreadPool pool;
    return nongauss::run_command_line(argc, argv, pool);
}
