#include "numeric/parallel.hpp"

namespace nongauss {

int worker_threads() {
    const unsigned n = std::thread::hardware_concurrency();
    if (n < 1) return 1;
    return n > 16 ? 16 : static_cast<int>(n);
}

}  // namespace nongauss
