#pragma once

// A Slurm cluster of one node, or a few machines behind real sshd servers,
// started by scripts/local-cluster in a test's scratch directory and stopped
// when the test ends, however it ends (the script's watchdog stops it when
// this process dies); and what such daemons could leave behind outside it.

#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "tools/companions.hpp"

namespace nongauss::testing {

class LocalCluster {
public:
    /// Starts `kind` ("slurm" or "ssh") in DIR/cluster with the further
    /// options of "up"; see `up()` and `failure()`.
    LocalCluster(std::string kind, const std::filesystem::path& dir, const std::vector<std::string>& options = {})
        : kind_(std::move(kind)), dir_(dir / "cluster") {
        std::vector<std::string> args = {source_path("scripts/local-cluster"), kind_, "up", "--while",
                                         std::to_string(getpid())};
        args.insert(args.end(), options.begin(), options.end());
        args.push_back(dir_.string());
        const RunResult r = run_tool(args, dir, "/bin/bash");
        up_ = r.status == 0;
        failure_ = r.err;
        env_ = r.out;
    }
    ~LocalCluster() { down(); }
    LocalCluster(const LocalCluster&) = delete;
    LocalCluster& operator=(const LocalCluster&) = delete;

    bool up() const { return up_; }
    /// What "up" printed on standard error (its report, and why it failed).
    const std::string& failure() const { return failure_; }
    const std::filesystem::path& dir() const { return dir_; }

    /// A shell command line in `cwd` with the cluster's variables (SLURM_CONF)
    /// and TMPDIR in the scratch directory.
    RunResult shell(const std::string& command, const std::filesystem::path& cwd) const {
        return run_shell(env_ + "export TMPDIR='" + cwd.string() + "'\n" + command, cwd);
    }
    /// scripts/local-cluster KIND ACTION ARGS... DIR
    RunResult script(const std::string& action, const std::vector<std::string>& args = {}) const {
        std::vector<std::string> words = {source_path("scripts/local-cluster"), kind_, action};
        words.insert(words.end(), args.begin(), args.end());
        words.push_back(dir_.string());
        return run_tool(words, dir_.parent_path(), "/bin/bash");
    }
    /// Stops everything "up" started; true when "down" succeeded.
    bool down() {
        if (down_) return true;
        down_ = true;
        return script("down").status == 0;
    }

private:
    std::string kind_;
    std::filesystem::path dir_;
    bool up_ = false, down_ = false;
    std::string failure_, env_;
};

namespace cluster_detail {

inline std::string read_all(const std::filesystem::path& file) {
    std::string text = slurp(file);
    std::replace(text.begin(), text.end(), '\0', ' ');
    return text;
}

inline std::string link_target(const std::filesystem::path& link) {
    std::error_code ec;
    const auto target = std::filesystem::read_symlink(link, ec);
    return ec ? std::string() : target.string();
}

}  // namespace cluster_detail

/// Live processes (not this one) whose command line, environment, working
/// directory or open files name something in `dir`, one per line.
inline std::string processes_using(const std::filesystem::path& dir) {
    namespace fs = std::filesystem;
    using namespace cluster_detail;
    const std::string needle = dir.string();
    std::string found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc", ec)) {
        const std::string pid = entry.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos || pid == std::to_string(getpid())) continue;
        const std::string stat = slurp(entry.path() / "stat");
        const auto close = stat.rfind(") ");
        if (close == std::string::npos || stat.compare(close + 2, 1, "Z") == 0) continue;
        const std::string command = read_all(entry.path() / "cmdline");
        bool uses = has(command, needle) || has(read_all(entry.path() / "environ"), needle) ||
                    has(link_target(entry.path() / "cwd"), needle);
        for (const auto& fd : fs::directory_iterator(entry.path() / "fd", ec)) {
            if (uses) break;
            uses = has(link_target(fd.path()), needle);
        }
        if (uses) found += pid + ": " + command + "\n";
    }
    return found;
}

/// The mounts this process sees that are made by scripts/local-cluster or lie
/// in `dir`.
inline std::string mounts_of(const std::filesystem::path& dir) {
    std::string found;
    for (const auto& line : lines_of(slurp("/proc/self/mountinfo")))
        if (has(line, "nongauss-local") || has(line, dir.string())) found += line + "\n";
    return found;
}

/// Names, sizes and times of the files where munged, slurmctld, slurmd, sshd,
/// ssh and GNU parallel keep their state, logs and keys by default.
inline std::string default_places() {
    namespace fs = std::filesystem;
    std::vector<fs::path> places = {"/run/munge",        "/run/sshd",          "/run/slurm",
                                    "/run/slurmctld.pid", "/run/slurmd.pid",    "/var/lib/munge",
                                    "/var/log/munge",    "/var/lib/slurm",     "/var/log/slurm",
                                    "/var/spool/slurmd", "/var/spool/slurmctld", "/var/spool/slurm",
                                    "/etc/munge",        "/etc/slurm",         "/var/log/wtmp",
                                    "/var/log/lastlog",  "/var/log/btmp"};
    if (const char* home = std::getenv("HOME")) {
        places.push_back(fs::path(home) / ".ssh");
        places.push_back(fs::path(home) / ".parallel");
    }
    std::string listing;
    const auto describe = [&](const fs::path& p) {
        std::error_code ec;
        const auto status = fs::symlink_status(p, ec);
        if (ec) return;
        listing += p.string();
        if (fs::is_regular_file(status)) {
            listing += " " + std::to_string(fs::file_size(p, ec));
            listing += " " + std::to_string(fs::last_write_time(p, ec).time_since_epoch().count());
        }
        listing += "\n";
    };
    for (const auto& place : places) {
        describe(place);
        std::error_code ec;
        if (fs::is_directory(place, ec))
            for (const auto& entry : fs::recursive_directory_iterator(place, fs::directory_options::skip_permission_denied, ec))
                describe(entry.path());
    }
    return listing;
}

}  // namespace nongauss::testing
