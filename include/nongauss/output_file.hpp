#pragma once

// Output files that never hurt what is already there. Every file a program of
// this project writes goes through OutputFile:
//
//   nongauss::install_output_cleanup();          // once, early in main
//   nongauss::InputFiles inputs;
//   inputs.add(input_name);
//   if (inputs.contains(out_name)) { /* refuse before writing anything */ }
//   nongauss::OutputFile out;
//   if (!out.open(out_name)) { /* out.error() says why */ }
//   std::fputs(text, out.stream());
//   if (!out.finish() || !out.commit()) { /* nothing was changed */ }
//
// What it promises:
// - The file is written under a temporary name, `.NAME.XXXXXX`, in its own
//   directory, created with mode 0666 less the umask (the kernel applies the
//   umask and any default ACL of the directory), and renamed over NAME only
//   when complete. Whatever stood at NAME (a regular file, a symbolic or
//   hard link) stays as it was until then, and is then replaced: a link is
//   never written through.
// - The temporary file is removed when the object goes without a commit,
//   and, once install_output_cleanup() has run, when the process is ended by
//   SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGXFSZ or
//   SIGPIPE. Only SIGKILL (or a crash) can leave one behind.
// - Refused at open (false, nothing created): an empty name; a directory at
//   NAME; a regular file at NAME without write permission (as a plain open
//   for writing would refuse it); a name whose directory is missing or not
//   writable; a name in the system's device, process or kernel directories
//   (/dev, /proc, /sys, not other file systems mounted below them such as
//   /dev/shm) that does not lead to a character device or a FIFO: nothing is
//   ever created or replaced there (so `nongauss /dev/stdin` makes no
//   /dev/stdin_TS.txt).
// - A character device or FIFO at NAME (/dev/null, /dev/full, a named pipe;
//   in a system directory also through a link, as /dev/stdout) is written
//   directly, as a stream: it holds nothing that a partial write could
//   spoil, and there is nothing to put in place. A FIFO that no process reads
//   is refused rather than waited for.
// - Safe against the process ending at any point; not made durable against
//   a power failure (there is no fsync).
//
// Outputs that are inputs: OutputFile does not know a program's inputs. A
// program collects them in InputFiles and refuses every output that is one of
// them before it writes anything.
//
// Several files of one run (nongauss's TS and PDF files) are put in place by
// commit_together(), so that files of two runs never stand side by side.

#include <sys/types.h>

#include <cstddef>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace nongauss {

/// Installs the handlers of SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1,
/// SIGUSR2, SIGALRM, SIGXFSZ and SIGPIPE that remove every temporary file of
/// an OutputFile not yet committed and then end the process by the same
/// signal (its default action, so the parent sees the signal). A signal that
/// the parent ignored stays ignored (nohup, `trap '' XFSZ`). While files are
/// being put in place (commit(), commit_together()) a signal waits until that
/// is done. Call once, early in main, before any thread starts.
void install_output_cleanup();

/// The identities (device and inode) of files that a program must never
/// replace: its inputs.
class InputFiles {
public:
    /// Adds the file `path` leads to (links followed); a name that leads to
    /// no file is left out (it cannot be replaced by mistake).
    void add(const std::string& path);

    /// Adds the file open on descriptor `fd` (standard input read as "-").
    void add_descriptor(int fd);

    /// True when `path` (links followed) is one of the files added, whatever
    /// path or link leads there.
    bool contains(const std::string& path) const;

private:
    std::vector<std::pair<dev_t, ino_t>> ids_;
};

/// One output file in the making. Until commit() (or commit_together()) the
/// name is untouched; the destructor removes a temporary file not committed.
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&& other) noexcept;

    /// Creates the temporary file for `name` (or opens the stream, see the
    /// top of this header). False, with nothing created and error() set,
    /// when that is refused or fails. A file already open is discarded first.
    bool open(const std::string& name);

    /// The stream to write to; nullptr when not open or finished.
    std::FILE* stream() const { return file_; }

    /// Writes `text`; false when that fails (the failure also makes finish()
    /// fail). A writer stops at the first false.
    bool write(std::string_view text);

    /// Flushes and closes the stream. False when a write, the flush or the
    /// close failed (a full disk, a file-size limit); error() says why.
    bool finish();

    /// Renames the finished temporary file over the name. False when that
    /// fails: the temporary file is removed and the name keeps what it held.
    /// A stream has nothing to put in place: true.
    bool commit();

    /// Removes the temporary file, if any, and forgets it (a stream is
    /// closed).
    void discard();

    /// The name given to open().
    const std::string& name() const { return name_; }

    /// Why the last open, write, finish or commit failed ("Permission
    /// denied"); empty when none did.
    const std::string& error() const { return error_; }

    /// True when the name is written directly (a character device or FIFO).
    bool is_stream() const { return stream_; }

private:
    friend bool commit_together(std::span<OutputFile* const> files, std::size_t& failed);

    bool open_stream(const std::string& name);
    void release_slot();

    std::string name_;
    std::string temp_name_;   // empty for a stream
    std::string error_;
    std::FILE* file_ = nullptr;
    bool stream_ = false;
    bool write_failed_ = false;
    void* slot_ = nullptr;    // the signal handler's record of temp_name_
};

/// Puts several finished files in place together, in the order given, so
/// that after any interruption (SIGKILL included) or failure the names hold
/// the previous set of files, the new set, or the first files of one of them
/// in order with the others absent (for a pair: a first file alone, old or
/// new); never files of two runs side by side, never a later file without
/// the ones before it. The steps, under an exclusive flock(2) on
/// each directory involved (held only for these steps, so that two processes
/// committing to the same names take turns) and with the signals of
/// install_output_cleanup() waiting:
///   1. the previous versions of the second and later files, last first, are
///      renamed to hidden backup names (the names are then absent);
///   2. the previous version of the first file is kept under a backup name
///      (a hard link), and the new first file is renamed over its name;
///   3. the new later files are renamed over their names, first to last;
///   4. the backups are removed.
/// When a step fails, the new files are taken out and the previous versions
/// renamed back, first to last (a later one only when every earlier one came
/// back), so that no name changes (should the undoing fail too, the files
/// that cannot come back are left out, never a later one alone); all
/// temporary files are removed. Returns
/// true when every file is in place; false with `failed` the index of the
/// file whose step failed (its error() says why). Streams take no part. On a
/// file system without flock(2) the steps run without the lock; a directory
/// that another process keeps locked for 30 s fails the commit.
bool commit_together(std::span<OutputFile* const> files, std::size_t& failed);

/// Makes the directory `path` and any missing parents (as `mkdir -p`; mode
/// 0777 less the umask). True when it exists as a directory afterwards;
/// false with `error` ("Not a directory", "Permission denied") otherwise.
bool make_directories(const std::string& path, std::string& error);

}  // namespace nongauss
