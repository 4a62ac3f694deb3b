#pragma once

// Runs the built executable as a user would and captures what it does.

#include <filesystem>
#include <string>
#include <vector>

#include "support/numbers.hpp"

namespace nongauss::testing {

struct RunResult {
    int status = -1;     ///< exit status, or -1 when the process did not exit normally
    std::string out;     ///< standard output
    std::string err;     ///< standard error
    int wait_status = 0; ///< as waitpid gave it (WIFSIGNALED, WTERMSIG)
    double seconds = 0;  ///< wall time
    long peak_rss_kb = 0;  ///< peak resident memory
};

/// How run_process runs a program.
struct RunOptions {
    std::string exe = NONGAUSS_EXE;  ///< the program
    std::string argv0;               ///< its argv[0]; empty: `exe`
    int uid = -1;                    ///< run as this user and group (needs root; status 125 if refused)
    unsigned time_limit_s = 0;       ///< killed by SIGALRM after this long; 0: no limit
    int signal = 0;                  ///< sent after `signal_after_ms` when not 0
    long signal_after_ms = 0;
    bool discard_output = false;     ///< standard output and error to /dev/null
};

/// Runs a program with `args` in `dir`, standard input from /dev/null, and
/// captures what it does. Every test that runs a program runs it here.
RunResult run_process(const std::vector<std::string>& args, const std::filesystem::path& dir,
                      const RunOptions& options = {});

/// run_process of `exe` (default: the nongauss executable), argv[0] `argv0`
/// when given.
RunResult run_tool(const std::vector<std::string>& args, const std::filesystem::path& dir,
                   const std::string& exe = NONGAUSS_EXE, const std::string& argv0 = "");

/// A fresh empty directory below the system's temporary directory, removed
/// when the object goes away.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    /// Writes `content` to the file `name` in this directory; returns its path.
    std::filesystem::path write(const std::string& name, const std::string& content) const;
    /// Whole content of the file `name` in this directory.
    std::string read(const std::string& name) const;
    bool exists(const std::string& name) const;

private:
    std::filesystem::path path_;
};

/// Whole content of a file.
std::string slurp(const std::filesystem::path& file);

/// The fields of nongauss's summary line (name, scale, SD in ms, lambda);
/// fields that cannot be read keep their defaults.
struct Summary {
    std::string name;
    double scale = 0, sd = 0, lambda = -1;
};
Summary parse_summary(const std::string& line);

/// n intervals in ms, one per line: low plus a draw in [0, spread) of a
/// Xorshift started at `seed`; the same text everywhere.
std::string irregular_ms(int n, int low = 600, int spread = 400, std::uint64_t seed = Xorshift::default_seed);

/// Writes into `dir` the series that take the analysis out of the range of
/// doubles: subnormal.txt (a subnormal first interval, in seconds, then 400
/// of 1 s), huge.txt (three of 1e300) and hugegrid.txt (40 of 1e300 and
/// 2e300, for a grid coarse enough to hold them).
void write_out_of_range_series(const ScratchDir& dir);

/// Whether `text` holds `part`.
inline bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

/// Lines of a text, without their line ends.
std::vector<std::string> lines_of(const std::string& text);

/// Names in `dir` that begin with '.' (temporary files, backups), other than
/// the captures of run_tool.
std::vector<std::string> hidden_files(const std::filesystem::path& dir);

/// Path of the shared real recordings, or empty when they are absent.
std::filesystem::path shared_recordings();

}  // namespace nongauss::testing
