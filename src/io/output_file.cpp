#include "nongauss/output_file.hpp"

#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <new>
#include <optional>

namespace nongauss {

namespace {

// ---------------------------------------------------------------------------
// What the signal handler removes. Each record holds a temporary name and a
// backup name, each with a flag; the handler reads only flagged names and
// calls only unlink. A record is taken by an OutputFile at open and given
// back when it is done; records are never freed, so the handler can walk the
// list at any moment.

struct Slot {
    std::atomic<bool> taken{false};
    std::atomic<bool> temp_active{false};
    std::atomic<bool> backup_active{false};
    char temp[PATH_MAX] = {};
    char backup[PATH_MAX] = {};
    Slot* next = nullptr;  // set before the record is published, never changed
};

std::atomic<Slot*> slots{nullptr};

// A record not in use, or a new one; nullptr when memory is short.
Slot* take_slot() {
    for (Slot* s = slots.load(); s != nullptr; s = s->next) {
        bool expected = false;
        if (s->taken.compare_exchange_strong(expected, true)) return s;
    }
    Slot* s = new (std::nothrow) Slot;
    if (s == nullptr) return nullptr;
    s->taken.store(true);
    s->next = slots.load();
    while (!slots.compare_exchange_weak(s->next, s)) {
    }
    return s;
}

// Copies `path` into a record's buffer; false when it does not fit (such a
// name cannot be opened either).
bool set_name(char (&buffer)[PATH_MAX], const std::string& path) {
    if (path.size() >= PATH_MAX) return false;
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return true;
}

constexpr int cleanup_signals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGXFSZ, SIGPIPE};

// Temporary files are made, and files put in place, inside deferrals: a
// signal that comes meanwhile waits (the handler records it and returns), and
// the last thread to leave its deferral ends the process. Both sides write
// their flag before they read the other's, so one of them sees the signal.
// Once the process is ending no deferral begins (a thread that would start
// one waits for the end instead), and the end waits for those under way, so
// that no temporary file is made after the handler has looked for them.
std::atomic<int> deferrals{0};
std::atomic<int> pending_signal{0};
std::atomic<bool> ending{false};

// Removes every flagged name and ends the process by `signal_number`, by its
// default action. Async-signal-safe.
[[noreturn]] void remove_temporaries_and_end(int signal_number) {
    ending.store(true);
    while (deferrals.load() != 0) {
    }
    for (Slot* s = slots.load(); s != nullptr; s = s->next) {
        if (s->temp_active.load()) unlink(s->temp);
        if (s->backup_active.load()) unlink(s->backup);
    }
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal_number, &action, nullptr);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal_number);
    raise(signal_number);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    // The default action of every signal handled here ends the process.
    _exit(128 + signal_number);
}

extern "C" void on_cleanup_signal(int signal_number) {
    pending_signal.store(signal_number);
    if (deferrals.load() > 0) return;
    remove_temporaries_and_end(signal_number);
}

// Deferrals this thread is in (a nested one never waits for the end: the
// end waits for the outer one).
thread_local int own_deferrals = 0;

class Deferral {
public:
    Deferral() {
        deferrals.fetch_add(1);
        if (ending.load() && own_deferrals == 0) {
            deferrals.fetch_sub(1);
            for (;;) pause();  // the process is ending
        }
        ++own_deferrals;
    }
    ~Deferral() {
        --own_deferrals;
        if (deferrals.fetch_sub(1) == 1) {
            const int s = pending_signal.load();
            if (s != 0) remove_temporaries_and_end(s);
        }
    }
    Deferral(const Deferral&) = delete;
    Deferral& operator=(const Deferral&) = delete;
};

// ---------------------------------------------------------------------------
// Names.

std::string errno_text(int error) { return std::strerror(error); }

// The directory part of a path, with its trailing slash ("" for none).
std::string directory_of(const std::string& name) {
    const std::size_t slash = name.rfind('/');
    return slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
}

// Six characters that make a fresh name.
std::string random_suffix() {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char bytes[6];
    if (getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
        // No entropy yet: the time, the process and a counter still differ
        // from one attempt to the next, and O_EXCL keeps a collision harmless.
        static std::atomic<unsigned long> counter{0};
        unsigned long x = static_cast<unsigned long>(
            std::chrono::steady_clock::now().time_since_epoch().count()) ^
                          (static_cast<unsigned long>(getpid()) << 20) ^ (counter.fetch_add(1) * 0x9E3779B97F4A7C15UL);
        for (auto& b : bytes) {
            x ^= x << 13, x ^= x >> 7, x ^= x << 17;
            b = static_cast<unsigned char>(x);
        }
    }
    std::string s(6, 'x');
    for (int i = 0; i < 6; ++i) s[static_cast<std::size_t>(i)] = alphabet[bytes[i] % 62];
    return s;
}

// The temporary name's prefix for `name`: ".NAME." in its directory, with
// NAME shortened so that the whole component stays within NAME_MAX.
std::string temp_prefix(const std::string& name) {
    const std::string dir = directory_of(name);
    std::string base = name.substr(dir.size());
    if (base.size() > 200) base.resize(200);
    return dir + "." + base + ".";
}

// True when `dir` lies in /dev, /proc or /sys on the file system mounted
// there (a file system mounted below, such as /dev/shm, is ordinary).
bool in_system_directory(const std::string& dir) {
    char resolved[PATH_MAX];
    if (realpath(dir.empty() ? "." : dir.c_str(), resolved) == nullptr) return false;
    const std::string path = resolved;
    struct stat here {};
    if (stat(resolved, &here) != 0) return false;
    for (const char* root : {"/dev", "/proc", "/sys"}) {
        const std::size_t n = std::strlen(root);
        if (path.compare(0, n, root) != 0 || (path.size() > n && path[n] != '/')) continue;
        struct stat top {};
        return stat(root, &top) == 0 && top.st_dev == here.st_dev;
    }
    return false;
}

// ---------------------------------------------------------------------------
// The lock of a commit: an exclusive flock on each directory involved, taken
// in the order of their identities (so that two commits cannot wait for
// each other), released when it goes.

class DirectoryLocks {
public:
    // False with `error` when a directory stays locked by another process.
    bool lock(const std::vector<std::string>& dirs, std::string& error) {
        for (const std::string& d : dirs) {
            const int fd = ::open(d.empty() ? "." : d.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (fd < 0) continue;  // the rename will say what is wrong
            struct stat st {};
            fstat(fd, &st);
            const bool seen = std::any_of(fds_.begin(), fds_.end(), [&](const Held& h) {
                return h.dev == st.st_dev && h.ino == st.st_ino;
            });
            if (seen) {
                close(fd);
                continue;
            }
            fds_.push_back({fd, st.st_dev, st.st_ino});
        }
        std::sort(fds_.begin(), fds_.end(), [](const Held& a, const Held& b) {
            return a.dev != b.dev ? a.dev < b.dev : a.ino < b.ino;
        });
        for (const Held& h : fds_) {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
            long wait_ns = 100000;
            for (;;) {
                if (flock(h.fd, LOCK_EX | LOCK_NB) == 0) break;
                if (errno == EINTR) continue;
                // A file system without flock: the commit goes on without it.
                if (errno != EWOULDBLOCK) break;
                if (std::chrono::steady_clock::now() > deadline) {
                    error = "the directory stays locked by another process";
                    return false;
                }
                const timespec pause{0, wait_ns};
                nanosleep(&pause, nullptr);
                wait_ns = std::min(wait_ns * 2, 50000000L);
            }
        }
        return true;
    }
    ~DirectoryLocks() {
        for (const Held& h : fds_) close(h.fd);  // closing releases the lock
    }

private:
    struct Held {
        int fd;
        dev_t dev;
        ino_t ino;
    };
    std::vector<Held> fds_;
};

}  // namespace

// ---------------------------------------------------------------------------

void install_output_cleanup() {
    struct sigaction action {};
    action.sa_handler = on_cleanup_signal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (const int s : cleanup_signals) sigaddset(&action.sa_mask, s);
    for (const int s : cleanup_signals) {
        struct sigaction previous {};
        // A signal ignored by whoever started us stays ignored (nohup).
        if (sigaction(s, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
        sigaction(s, &action, nullptr);
    }
}

void InputFiles::add(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) ids_.emplace_back(st.st_dev, st.st_ino);
}

void InputFiles::add_descriptor(int fd) {
    struct stat st {};
    if (fstat(fd, &st) == 0) ids_.emplace_back(st.st_dev, st.st_ino);
}

bool InputFiles::contains(const std::string& path) const {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return false;
    return std::find(ids_.begin(), ids_.end(), std::make_pair(st.st_dev, st.st_ino)) != ids_.end();
}

OutputFile::~OutputFile() { discard(); }

OutputFile::OutputFile(OutputFile&& other) noexcept { *this = std::move(other); }

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
    if (this == &other) return *this;
    discard();
    name_ = std::move(other.name_);
    temp_name_ = std::move(other.temp_name_);
    error_ = std::move(other.error_);
    file_ = std::exchange(other.file_, nullptr);
    stream_ = std::exchange(other.stream_, false);
    write_failed_ = std::exchange(other.write_failed_, false);
    slot_ = std::exchange(other.slot_, nullptr);
    other.temp_name_.clear();
    return *this;
}

bool OutputFile::open_stream(const std::string& name) {
    // A FIFO nobody reads would block the open: refused instead (ENXIO).
    const int fd = ::open(name.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        error_ = errno == ENXIO ? "no process reads the named pipe" : errno_text(errno);
        return false;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    file_ = fdopen(fd, "w");
    if (file_ == nullptr) {
        error_ = errno_text(errno);
        close(fd);
        return false;
    }
    name_ = name;
    stream_ = true;
    return true;
}

bool OutputFile::open(const std::string& name) {
    discard();
    error_.clear();
    write_failed_ = false;
    if (name.empty()) {
        error_ = errno_text(ENOENT);
        return false;
    }
    struct stat st {};
    const bool exists = lstat(name.c_str(), &st) == 0;
    if (!exists && errno != ENOENT) {
        error_ = errno_text(errno);
        return false;
    }
    if (exists && (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode))) return open_stream(name);
    if (in_system_directory(directory_of(name))) {
        struct stat target {};
        if (stat(name.c_str(), &target) == 0 && (S_ISCHR(target.st_mode) || S_ISFIFO(target.st_mode)))
            return open_stream(name);
        error_ = "no file is made in a system directory";
        return false;
    }
    if (exists && S_ISDIR(st.st_mode)) {
        error_ = errno_text(EISDIR);
        return false;
    }
    if (exists && S_ISREG(st.st_mode) && access(name.c_str(), W_OK) != 0) {
        error_ = errno_text(errno);
        return false;
    }

    Slot* slot = take_slot();
    if (slot == nullptr) {
        error_ = errno_text(ENOMEM);
        return false;
    }
    const std::string prefix = temp_prefix(name);
    int fd = -1;
    std::string temp;
    int open_error = 0;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = prefix + random_suffix();
        if (!set_name(slot->temp, temp)) {
            open_error = ENAMETOOLONG;
            break;
        }
        // A signal waits while the file is made and recorded, so that none
        // can come between the two.
        const Deferral deferred;
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            slot->temp_active.store(true);
        } else {
            open_error = errno;
            if (open_error != EEXIST) break;
        }
    }
    if (fd >= 0) file_ = fdopen(fd, "w");
    if (file_ == nullptr) {
        if (fd >= 0) {
            open_error = errno;
            close(fd);
            const Deferral deferred;
            slot->temp_active.store(false);
            unlink(temp.c_str());
        }
        slot->taken.store(false);
        error_ = errno_text(open_error);
        return false;
    }
    slot_ = slot;
    name_ = name;
    temp_name_ = temp;
    return true;
}

bool OutputFile::write(std::string_view text) {
    if (file_ == nullptr || write_failed_) return false;
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) {
        write_failed_ = true;
        error_ = errno_text(errno);
        return false;
    }
    return true;
}

bool OutputFile::finish() {
    if (file_ == nullptr) return false;
    errno = 0;
    const bool flushed = std::fflush(file_) == 0;
    int error = errno;
    const bool write_error = std::ferror(file_) != 0 || write_failed_;
    const bool close_error = std::fclose(file_) != 0;
    if (close_error && error == 0) error = errno;
    file_ = nullptr;
    if (flushed && !write_error && !close_error) return true;
    if (error_.empty()) error_ = errno_text(error != 0 ? error : EIO);
    return false;
}

void OutputFile::release_slot() {
    auto* slot = static_cast<Slot*>(slot_);
    if (slot == nullptr) return;
    slot->temp_active.store(false);
    slot->backup_active.store(false);
    slot->taken.store(false);
    slot_ = nullptr;
}

bool OutputFile::commit() {
    OutputFile* self = this;
    std::size_t failed = 0;
    return commit_together(std::span<OutputFile* const>(&self, 1), failed);
}

void OutputFile::discard() {
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!temp_name_.empty()) {
        // The name leaves the handler's record before the file goes, and a
        // signal waits for both.
        const Deferral deferred;
        if (slot_ != nullptr) static_cast<Slot*>(slot_)->temp_active.store(false);
        unlink(temp_name_.c_str());
    }
    release_slot();
    temp_name_.clear();
    stream_ = false;
}

namespace {

// One file's part of a commit.
struct Step {
    OutputFile* file;
    std::string backup;     // where its previous version is kept
    bool had_old = false;   // something stood at its name
    bool kept = false;      // the previous version is at `backup`
    bool aside = false;     // ... and no longer at its name
    bool placed = false;    // the new file is at its name
};

}  // namespace

bool commit_together(std::span<OutputFile* const> files, std::size_t& failed) {
    failed = files.size();
    const auto index_of = [&](const OutputFile* f) {
        return static_cast<std::size_t>(std::find(files.begin(), files.end(), f) - files.begin());
    };
    std::vector<Step> steps;
    for (OutputFile* f : files) {
        if (f->stream_) continue;
        if (f->temp_name_.empty() || f->file_ != nullptr) {
            failed = index_of(f);
            if (f->error_.empty()) f->error_ = "not finished";
            for (OutputFile* g : files) g->discard();
            return false;
        }
        steps.push_back({f, f->temp_name_ + ".old"});
    }
    if (steps.empty()) return true;
    const auto fail = [&](Step& s, int error) {
        failed = index_of(s.file);
        s.file->error_ = errno_text(error);
    };
    // The temporary name is gone once the file is at its name.
    const auto placed = [](Step& s) {
        s.placed = true;
        static_cast<Slot*>(s.file->slot_)->temp_active.store(false);
        s.file->temp_name_.clear();
    };

    if (steps.size() == 1) {
        // One file: a rename replaces the name in one step.
        Step& s = steps[0];
        {
            const Deferral deferred;
            if (std::rename(s.file->temp_name_.c_str(), s.file->name_.c_str()) != 0) fail(s, errno);
            else placed(s);
        }
        for (OutputFile* g : files) g->discard();
        return s.placed;
    }

    std::vector<std::string> dirs;
    for (const Step& s : steps) {
        const std::string d = directory_of(s.file->name_);
        if (std::find(dirs.begin(), dirs.end(), d) == dirs.end()) dirs.push_back(d);
    }
    std::optional<DirectoryLocks> locks(std::in_place);
    std::string lock_error;
    if (!locks->lock(dirs, lock_error)) {
        failed = index_of(steps[0].file);
        steps[0].file->error_ = lock_error;
        for (OutputFile* g : files) g->discard();
        return false;
    }

    bool ok = true;
    {
        const Deferral deferred;
        for (Step& s : steps) {
            struct stat st {};
            s.had_old = lstat(s.file->name_.c_str(), &st) == 0;
            if (ok && s.had_old && S_ISDIR(st.st_mode)) {
                fail(s, EISDIR);
                ok = false;
            }
        }
        // 1. The later files' previous versions out of the way, last first:
        //    from here on no later file of the old set stands without the
        //    first file of its set.
        for (std::size_t k = steps.size() - 1; ok && k >= 1; --k) {
            Step& s = steps[k];
            if (!s.had_old) continue;
            if (std::rename(s.file->name_.c_str(), s.backup.c_str()) != 0) {
                fail(s, errno);
                ok = false;
            } else {
                s.kept = s.aside = true;
            }
        }
        // 2. The first file: its previous version kept by a second link (or,
        //    where no link can be made, moved aside), then replaced.
        if (ok) {
            Step& s = steps[0];
            if (s.had_old) {
                if (link(s.file->name_.c_str(), s.backup.c_str()) == 0) {
                    s.kept = true;
                } else if (std::rename(s.file->name_.c_str(), s.backup.c_str()) == 0) {
                    s.kept = s.aside = true;
                } else {
                    fail(s, errno);
                    ok = false;
                }
            }
            if (ok) {
                if (std::rename(s.file->temp_name_.c_str(), s.file->name_.c_str()) != 0) {
                    fail(s, errno);
                    ok = false;
                } else {
                    placed(s);
                }
            }
        }
        // 3. The later files, first to last.
        for (std::size_t k = 1; ok && k < steps.size(); ++k) {
            Step& s = steps[k];
            if (std::rename(s.file->temp_name_.c_str(), s.file->name_.c_str()) != 0) {
                fail(s, errno);
                ok = false;
            } else {
                placed(s);
            }
        }
        if (ok) {
            // The backups go to the handler's record: a signal from here on
            // removes them with the temporary files.
            for (Step& s : steps) {
                auto* slot = static_cast<Slot*>(s.file->slot_);
                if (s.kept && set_name(slot->backup, s.backup)) slot->backup_active.store(true);
            }
        } else {
            // Back to the previous set, first to last; once one file cannot
            // come back, no later one may stand without it.
            bool intact = true;
            for (Step& s : steps) {
                const char* name = s.file->name_.c_str();
                if (intact) {
                    bool back = true;
                    if (s.placed) {
                        back = s.had_old ? s.kept && std::rename(s.backup.c_str(), name) == 0
                                         : unlink(name) == 0 || errno == ENOENT;
                        if (!back) unlink(name);
                    } else if (s.aside) {
                        back = std::rename(s.backup.c_str(), name) == 0;
                    }
                    if (back && (s.placed || s.aside)) s.kept = false;  // renamed back
                    intact = back;
                } else if (s.placed || (s.had_old && !s.aside)) {
                    unlink(name);
                }
                if (s.kept) unlink(s.backup.c_str());
                s.kept = false;
            }
        }
    }
    // Outside the lock and the wait for signals: the previous versions'
    // blocks are freed here, which takes a while for a large file.
    locks.reset();
    for (Step& s : steps)
        if (s.kept) unlink(s.backup.c_str());
    for (OutputFile* g : files) g->discard();
    return ok;
}

bool make_directories(const std::string& path, std::string& error) {
    if (path.empty()) {
        error = errno_text(ENOENT);
        return false;
    }
    std::size_t pos = 0;
    for (;;) {
        pos = path.find('/', pos + 1);
        const std::string part = path.substr(0, pos);
        if (!part.empty() && part != "/" && mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) {
            error = errno_text(errno);
            return false;
        }
        if (pos == std::string::npos) break;
    }
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        error = errno_text(errno);
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        error = errno_text(ENOTDIR);
        return false;
    }
    return true;
}

}  // namespace nongauss
