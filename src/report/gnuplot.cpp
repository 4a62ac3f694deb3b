#include "report/gnuplot.hpp"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

extern char** environ;

namespace nongauss::report {

std::string data_number(double value) {
    if (!std::isfinite(value)) return "NaN";
    char text[64];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, value);
    return ec == std::errc() ? std::string(text, end) : std::string("NaN");
}

namespace {

struct Fd {
    int fd = -1;
    ~Fd() { close_now(); }
    void close_now() {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
};

// gnuplot's ids and their references, made unique with a prefix.
std::string prefixed_ids(std::string svg, const std::string& prefix) {
    static const char* const names[] = {"gnuplot_canvas", "gpDot", "gpPt", "gpFill", "gpPat", "gnuplot_plot_",
                                        "textbox", "greybox"};
    for (const char* name : names) {
        const std::string from = name;
        const std::string to = prefix + from;
        std::string out;
        out.reserve(svg.size() + 1024);
        std::size_t pos = 0;
        for (;;) {
            const std::size_t at = svg.find(from, pos);
            if (at == std::string::npos) break;
            // Only whole ids and references: preceded by a quote or '#'.
            const char before = at > 0 ? svg[at - 1] : ' ';
            out.append(svg, pos, at - pos);
            out += (before == '\'' || before == '"' || before == '#') ? to : from;
            pos = at + from.size();
        }
        out.append(svg, pos, std::string::npos);
        svg.swap(out);
    }
    return svg;
}

}  // namespace

Figure run_gnuplot(const std::string& script, const std::string& id_prefix) {
    Figure figure;
    // Standard input a socket, written with MSG_NOSIGNAL: a gnuplot that
    // ends early gives an error here, never a SIGPIPE.
    int in_pair[2];
    int out_pipe[2];
    int err_pipe[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, in_pair) != 0) {
        figure.error = std::string("cannot start gnuplot: ") + std::strerror(errno);
        return figure;
    }
    Fd in_ours{in_pair[0]}, in_theirs{in_pair[1]};
    if (::pipe2(out_pipe, O_CLOEXEC) != 0) {
        figure.error = std::string("cannot start gnuplot: ") + std::strerror(errno);
        return figure;
    }
    Fd out_ours{out_pipe[0]}, out_theirs{out_pipe[1]};
    if (::pipe2(err_pipe, O_CLOEXEC) != 0) {
        figure.error = std::string("cannot start gnuplot: ") + std::strerror(errno);
        return figure;
    }
    Fd err_ours{err_pipe[0]}, err_theirs{err_pipe[1]};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in_theirs.fd, 0);
    posix_spawn_file_actions_adddup2(&actions, out_theirs.fd, 1);
    posix_spawn_file_actions_adddup2(&actions, err_theirs.fd, 2);
    // A UTF-8 locale for the Greek letters of the labels, whatever the caller's.
    std::vector<std::string> env_text;
    for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
        if (std::strncmp(*e, "LC_ALL=", 7) == 0 || std::strncmp(*e, "GNUTERM=", 8) == 0) continue;
        env_text.emplace_back(*e);
    }
    env_text.emplace_back("LC_ALL=C.UTF-8");
    std::vector<char*> env;
    for (std::string& e : env_text) env.push_back(e.data());
    env.push_back(nullptr);
    // No initialisation file, the system's or the user's: the same figures
    // whoever runs it.
    char name[] = "gnuplot";
    char defaults[] = "--default-settings";
    char* argv[] = {name, defaults, nullptr};
    pid_t pid = -1;
    const int spawned = ::posix_spawnp(&pid, "gnuplot", &actions, nullptr, argv, env.data());
    posix_spawn_file_actions_destroy(&actions);
    in_theirs.close_now();
    out_theirs.close_now();
    err_theirs.close_now();
    if (spawned != 0) {
        figure.error = spawned == ENOENT ? "gnuplot is not installed (Debian package gnuplot-nox)"
                                         : std::string("cannot start gnuplot: ") + std::strerror(spawned);
        return figure;
    }

    // Write the script while reading both outputs, so that no pipe fills.
    std::string out;
    std::string err;
    std::size_t written = 0;
    ::fcntl(in_ours.fd, F_SETFL, O_NONBLOCK);
    bool write_failed = false;
    for (;;) {
        pollfd fds[3];
        nfds_t n = 0;
        const bool writing = in_ours.fd >= 0;
        if (writing) fds[n++] = {in_ours.fd, POLLOUT, 0};
        const nfds_t first_read = n;
        if (out_ours.fd >= 0) fds[n++] = {out_ours.fd, POLLIN, 0};
        if (err_ours.fd >= 0) fds[n++] = {err_ours.fd, POLLIN, 0};
        if (n == 0) break;
        if (::poll(fds, n, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (writing && fds[0].revents != 0) {
            const ssize_t w = ::send(in_ours.fd, script.data() + written, script.size() - written, MSG_NOSIGNAL);
            if (w > 0) written += static_cast<std::size_t>(w);
            if (w < 0 && errno != EAGAIN && errno != EINTR) write_failed = true;
            if (written == script.size() || write_failed) in_ours.close_now();
        }
        for (nfds_t k = first_read; k < n; ++k) {
            if (fds[k].revents == 0) continue;
            char buffer[65536];
            const ssize_t r = ::read(fds[k].fd, buffer, sizeof buffer);
            const bool is_out = fds[k].fd == out_ours.fd;
            if (r > 0) {
                (is_out ? out : err).append(buffer, static_cast<std::size_t>(r));
            } else if (r == 0 || (errno != EAGAIN && errno != EINTR)) {
                (is_out ? out_ours : err_ours).close_now();
            }
        }
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    const std::size_t start = out.find("<svg");
    const std::size_t end = out.rfind("</svg>");
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || write_failed || start == std::string::npos ||
        end == std::string::npos || end < start) {
        while (!err.empty() && (err.back() == '\n' || err.back() == ' ')) err.pop_back();
        figure.error = "gnuplot failed" + (err.empty() ? std::string() : ": " + err);
        return figure;
    }
    figure.svg = prefixed_ids(out.substr(start, end + 6 - start), id_prefix);
    return figure;
}

}  // namespace nongauss::report
