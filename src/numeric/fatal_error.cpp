#include "numeric/fatal_error.hpp"

#include <cstdio>
#include <cstdlib>

namespace nongauss {

#ifdef NONGAUSS_FUZZING
namespace {
FatalErrorHook fatal_error_hook = nullptr;
}  // namespace

void set_fatal_error_hook(FatalErrorHook hook) { fatal_error_hook = hook; }
#endif

void fatal_error(const char* message) {
    std::fprintf(stderr, "Run-time error...\n");
    std::fprintf(stderr, "%s\n", message);
    std::fprintf(stderr, "...now exiting to system...\n");
#ifdef NONGAUSS_FUZZING
    if (fatal_error_hook != nullptr) fatal_error_hook(message);
#endif
    std::exit(1);  // normal termination: streams are flushed, exit handlers run
}

}  // namespace nongauss
