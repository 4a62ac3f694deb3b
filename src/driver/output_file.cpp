#include "driver/output_file.hpp"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>

namespace nongauss {

namespace {

// Temporary names the signal handler removes. A slot is taken by writing its
// name first and then setting its flag; the handler reads only flagged slots
// and calls only unlink, which is safe in a handler.
constexpr int max_slots = 8;
char slot_names[max_slots][PATH_MAX];
std::atomic<bool> slot_used[max_slots];

mode_t new_file_mode = 0644;

// Called from the one thread that makes output files.
int take_slot(const std::string& path) {
    if (path.size() >= PATH_MAX) return -1;
    for (int i = 0; i < max_slots; ++i) {
        if (slot_used[i].load()) continue;
        std::memcpy(slot_names[i], path.c_str(), path.size() + 1);
        slot_used[i].store(true);
        return i;
    }
    return -1;
}

void release_slot(int slot) {
    if (slot < 0) return;
    slot_used[slot].store(false);
    slot_names[slot][0] = '\0';
}

extern "C" void remove_temporaries_and_reraise(int signal_number) {
    for (int i = 0; i < max_slots; ++i)
        if (slot_used[i].load()) unlink(slot_names[i]);
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal_number, &action, nullptr);
    raise(signal_number);
}

// The directory part of a path, with its trailing slash ("" for none).
std::string directory_of(const std::string& name) {
    const std::size_t slash = name.rfind('/');
    return slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
}

sigset_t cleanup_signals() {
    sigset_t set;
    sigemptyset(&set);
    for (const int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&set, s);
    return set;
}

}  // namespace

DeferredSignals::DeferredSignals() {
    const sigset_t set = cleanup_signals();
    pthread_sigmask(SIG_BLOCK, &set, &previous_);
}

DeferredSignals::~DeferredSignals() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

void install_output_cleanup() {
    const mode_t mask = umask(0);
    umask(mask);
    new_file_mode = 0666 & ~mask;
    struct sigaction action {};
    action.sa_handler = remove_temporaries_and_reraise;
    sigemptyset(&action.sa_mask);
    for (const int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&action.sa_mask, s);
    for (const int s : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction previous {};
        // A signal ignored by whoever started us stays ignored (nohup).
        if (sigaction(s, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
        sigaction(s, &action, nullptr);
    }
}

OutputFile::~OutputFile() { discard(); }

bool OutputFile::open(const std::string& name) {
    discard();
    struct stat st {};
    if (lstat(name.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return false;
        if (S_ISREG(st.st_mode) && access(name.c_str(), W_OK) != 0) return false;
    }
    const std::string dir = directory_of(name);
    std::string pattern = dir + "." + name.substr(dir.size()) + ".XXXXXX";
    int fd = -1;
    {
        // The cleanup signals wait while the file is made and registered, so
        // that none can arrive between the two.
        const DeferredSignals deferred;
        fd = mkstemp(pattern.data());
        if (fd >= 0) slot_ = take_slot(pattern);
    }
    if (fd < 0) return false;
    if (fchmod(fd, new_file_mode) != 0 || (file_ = fdopen(fd, "w")) == nullptr) {
        close(fd);
        unlink(pattern.c_str());
        release_slot(slot_);
        slot_ = -1;
        return false;
    }
    name_ = name;
    temp_name_ = pattern;
    return true;
}

bool OutputFile::finish() {
    if (file_ == nullptr) return false;
    const bool write_error = std::ferror(file_) != 0;
    const bool close_error = std::fclose(file_) != 0;
    file_ = nullptr;
    return !write_error && !close_error;
}

bool OutputFile::commit() {
    if (temp_name_.empty() || file_ != nullptr) return false;
    if (std::rename(temp_name_.c_str(), name_.c_str()) != 0) {
        discard();
        return false;
    }
    release_slot(slot_);
    slot_ = -1;
    temp_name_.clear();
    return true;
}

void OutputFile::discard() {
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!temp_name_.empty()) unlink(temp_name_.c_str());
    release_slot(slot_);
    slot_ = -1;
    temp_name_.clear();
}

}  // namespace nongauss
