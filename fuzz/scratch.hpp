#pragma once

// A private scratch directory for a fuzz target's files: in memory when
// /dev/shm is there, so that a run of millions of inputs spares the disk. The
// path holds no '.', so that output names derived from it stay inside it.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace nongauss::fuzzing {

inline std::string make_scratch_dir() {
    std::string templ = access("/dev/shm", W_OK) == 0 ? "/dev/shm/nongauss-fuzz-XXXXXX"
                                                      : "/tmp/nongauss-fuzz-XXXXXX";
    if (mkdtemp(templ.data()) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    return templ;
}

inline void write_file(const std::string& path, const void* data, std::size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr || (size > 0 && std::fwrite(data, 1, size, f) != size) || std::fclose(f) != 0) {
        std::perror(path.c_str());
        std::abort();
    }
}

/// Stops the target with a message when an expected property does not hold;
/// libFuzzer records the input as a finding.
inline void require(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "property violated: %s\n", what);
    std::abort();
}

}  // namespace nongauss::fuzzing
