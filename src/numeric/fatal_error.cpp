#include "numeric/fatal_error.hpp"

#include <cstdio>
#include <cstdlib>

namespace nongauss {

void fatal_error(const char* message) {
    std::fprintf(stderr, "Numerical Recipes run-time error...\n");
    std::fprintf(stderr, "%s\n", message);
    std::fprintf(stderr, "...now exiting to system...\n");
    std::exit(1);  // normal termination: streams are flushed, exit handlers run
}

}  // namespace nongauss
