#pragma once

// A private scratch directory for a fuzz target's files: in memory when
// /dev/shm is there, so that a run of millions of inputs spares the disk. The
// path holds no '.', so that output names derived from it stay inside it.

#include <sanitizer/common_interface_defs.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace nongauss::fuzzing {

/// Makes the directory; it is removed with its content when the process exits
/// normally (after a finding it stays, beside the input that caused it).
inline std::string make_scratch_dir() {
    static std::string made;
    made = access("/dev/shm", W_OK) == 0 ? "/dev/shm/nongauss-fuzz-XXXXXX"
                                         : "/tmp/nongauss-fuzz-XXXXXX";
    if (mkdtemp(made.data()) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(made, ignored);
    });
    return made;
}

inline void write_file(const std::string& path, const void* data, std::size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr || (size > 0 && std::fwrite(data, 1, size, f) != size) || std::fclose(f) != 0) {
        std::perror(path.c_str());
        std::abort();
    }
}

/// Stops the target with a message when an expected property does not hold;
/// libFuzzer records the input as a finding. The message goes through the
/// sanitizers' report channel, which stays open when libFuzzer closes the
/// target's standard error (-close_fd_mask=2).
inline void require(bool holds, const char* what) {
    if (holds) return;
    const std::string summary = std::string("property violated: ") + what;
    __sanitizer_report_error_summary(summary.c_str());
    std::abort();
}

}  // namespace nongauss::fuzzing
