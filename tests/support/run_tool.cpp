#include "support/run_tool.hpp"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <thread>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "support/numbers.hpp"

namespace nongauss::testing {

namespace fs = std::filesystem;

#if defined(__SANITIZE_ADDRESS__)
// In a sanitizer build every report ends the process with status 1 by default,
// which a test would take for the tool's own status 1. The tool runs started
// from here abort on a report instead (unless the caller chose other options).
const bool sanitizer_reports_abort = [] {
    setenv("ASAN_OPTIONS", "abort_on_error=1", 0);
    setenv("UBSAN_OPTIONS", "abort_on_error=1:print_stacktrace=1", 0);
    return true;
}();
#endif

std::string slurp(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

RunResult run_process(const std::vector<std::string>& args, const fs::path& dir, const RunOptions& options) {
    const fs::path out_file = dir / ".run_stdout";
    const fs::path err_file = dir / ".run_stderr";
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) _exit(126);
        const int in = open("/dev/null", O_RDONLY);
        const int out = options.discard_output ? open("/dev/null", O_WRONLY)
                                               : open(out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = options.discard_output ? open("/dev/null", O_WRONLY)
                                               : open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0) _exit(126);
        if (options.uid != -1 && (setgid(options.uid) != 0 || setuid(options.uid) != 0)) _exit(125);
        dup2(in, 0), dup2(out, 1), dup2(err, 2);
        if (options.time_limit_s > 0) alarm(options.time_limit_s);  // survives exec
        std::vector<std::string> words = {options.argv0.empty() ? options.exe : options.argv0};
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& w : words) argv.push_back(w.data());
        argv.push_back(nullptr);
        execv(options.exe.c_str(), argv.data());
        _exit(127);
    }
    if (options.signal != 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(options.signal_after_ms));
        kill(pid, options.signal);
    }
    int wstatus = 0;
    rusage usage{};
    wait4(pid, &wstatus, 0, &usage);
    RunResult r;
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    r.peak_rss_kb = usage.ru_maxrss;
    r.wait_status = wstatus;
    r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    if (!options.discard_output) {
        r.out = slurp(out_file);
        r.err = slurp(err_file);
        fs::remove(out_file);
        fs::remove(err_file);
    }
    return r;
}

RunResult run_tool(const std::vector<std::string>& args, const fs::path& dir, const std::string& exe,
                   const std::string& argv0) {
    RunOptions options;
    options.exe = exe;
    options.argv0 = argv0;
    return run_process(args, dir, options);
}

ScratchDir::ScratchDir() {
    std::random_device rd;
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path p = fs::temp_directory_path() / ("nongauss-test-" + std::to_string(rd()));
        if (fs::create_directory(p)) {
            path_ = p;
            return;
        }
    }
    throw std::runtime_error("cannot make a scratch directory");
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

fs::path ScratchDir::write(const std::string& name, const std::string& content) const {
    const fs::path p = path_ / name;
    std::ofstream out(p, std::ios::binary);
    out << content;
    return p;
}

std::string ScratchDir::read(const std::string& name) const { return slurp(path_ / name); }

bool ScratchDir::exists(const std::string& name) const { return fs::exists(path_ / name); }

Summary parse_summary(const std::string& line) {
    Summary s;
    std::istringstream in(line);
    in >> s.name >> s.scale >> s.sd >> s.lambda;
    return s;
}

std::string irregular_ms(int n, int low, int spread, std::uint64_t seed) {
    std::string text;
    Xorshift random(seed);
    for (int i = 0; i < n; ++i)
        text += std::to_string(low + static_cast<int>(random.next() % static_cast<std::uint64_t>(spread))) + "\n";
    return text;
}

void write_out_of_range_series(const ScratchDir& dir) {
    std::string ones;
    for (int i = 0; i < 400; ++i) ones += "1\n";
    dir.write("subnormal.txt", "1e-310\n" + ones);
    dir.write("huge.txt", "1e300\n1e300\n1e300\n");
    std::string huge_many;
    for (int i = 0; i < 40; ++i) huge_many += i % 2 ? "1e300\n" : "2e300\n";
    dir.write("hugegrid.txt", huge_many);
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> hidden_files(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) {
        const std::string name = e.path().filename().string();
        if (name[0] == '.' && name.rfind(".run_", 0) != 0) names.push_back(name);
    }
    return names;
}

fs::path shared_recordings() {
    const fs::path p = fs::path(NONGAUSS_SOURCE_DIR) / ".." / "shared" / "data" / "rri";
    return fs::exists(p / "nsr001.txt") ? p : fs::path();
}

}  // namespace nongauss::testing
