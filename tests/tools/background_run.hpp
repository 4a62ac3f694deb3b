#pragma once

// A companion started in the background, to be signalled while it runs.

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace nongauss::testing {

/// Starts `argv` in `dir` as the leader of a process group of its own, with
/// the variables `env` set, standard input from /dev/null, both output
/// streams to `log`, and every signal at its default and unblocked (as from a
/// terminal: a test run in the background of a script would otherwise pass
/// on SIGINT and SIGQUIT ignored, which a shell script then cannot trap).
inline pid_t start_process(std::vector<std::string> argv, const std::filesystem::path& dir,
                           const std::vector<std::pair<std::string, std::string>>& env,
                           const std::filesystem::path& log) {
    std::vector<char*> pointers;
    for (auto& a : argv) pointers.push_back(a.data());
    pointers.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        for (int signal = 1; signal < NSIG; ++signal) std::signal(signal, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        setpgid(0, 0);
        if (chdir(dir.c_str()) != 0) _exit(127);
        for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
        const int in = open("/dev/null", O_RDONLY);
        const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0) _exit(127);
        dup2(in, 0);
        dup2(out, 1);
        dup2(out, 2);
        execv(pointers[0], pointers.data());
        _exit(127);
    }
    return pid;
}

/// Exit status of a child, or 128 + the signal that ended it.
inline int status_of(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

/// Whether `ready()` became true within `seconds`, polled every 10 ms.
template <class Condition>
bool wait_until(Condition ready, double seconds = 60) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        if (ready()) return true;
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

/// The status of a child that ends within `seconds`; else it and its
/// process group are killed and -1 is returned.
inline int status_within(pid_t pid, double seconds) {
    int status = 0;
    const bool ended = wait_until([&] { return waitpid(pid, &status, WNOHANG) == pid; }, seconds);
    if (!ended) {
        kill(-pid, SIGKILL);
        waitpid(pid, &status, 0);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace nongauss::testing
