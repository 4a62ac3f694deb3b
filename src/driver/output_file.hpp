#pragma once

// Output files that can never hurt: each is written under a temporary name in
// its own directory and put in place by rename(2) once complete, so that a
// link at the name is replaced rather than written through, and an
// interrupted, killed or failed run leaves the previous complete file or none,
// never a partial one.

#include <signal.h>

#include <cstdio>
#include <string>

namespace nongauss {

/// One output file in the making. Until commit() the final name is untouched;
/// the destructor removes a temporary file that was not committed.
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    /// Creates the temporary file beside `name` with the permissions a new
    /// file gets (0666 less the umask). False, with nothing created, when no
    /// file can be made there, or when the name holds something that a plain
    /// open for writing would refuse too (a directory, a regular file without
    /// write permission).
    bool open(const std::string& name);

    /// The temporary file's stream; nullptr when not open.
    std::FILE* stream() const { return file_; }

    /// Closes the stream. False when a write or the close failed.
    bool finish();

    /// Renames the finished temporary file over the name. False when that
    /// fails (the temporary file is then removed).
    bool commit();

    /// Removes the temporary file, if any, and forgets it.
    void discard();

    const std::string& name() const { return name_; }

private:
    std::string name_;
    std::string temp_name_;
    std::FILE* file_ = nullptr;
    int slot_ = -1;  // index in the registry the signal handler reads
};

/// While it lives, SIGINT, SIGTERM and SIGHUP wait (they are blocked on the
/// calling thread and delivered when it goes): files committed within its
/// life are put in place together as far as those signals go.
class DeferredSignals {
public:
    DeferredSignals();
    ~DeferredSignals();
    DeferredSignals(const DeferredSignals&) = delete;
    DeferredSignals& operator=(const DeferredSignals&) = delete;

private:
    sigset_t previous_;
};

/// Installs handlers for SIGINT, SIGTERM and SIGHUP that remove every
/// uncommitted temporary file, then end the process by the same signal.
/// Also records the umask for the permissions of new files. Call once, early.
void install_output_cleanup();

}  // namespace nongauss
