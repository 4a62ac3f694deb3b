// A stand-in for the C library's processor count, loaded into the tool with
// LD_PRELOAD: every call answers one more processor than the last, as if
// processors came online while the program runs. The counts are capped by the
// tool itself.
#include <atomic>

extern "C" int get_nprocs() {
    static std::atomic<int> calls{0};
    return 1 + calls.fetch_add(1);
}
