#include "support/run_tool.hpp"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

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

RunResult run_tool(const std::vector<std::string>& args, const fs::path& dir,
                   const std::string& exe, const std::string& argv0) {
    const fs::path out_file = dir / ".run_stdout";
    const fs::path err_file = dir / ".run_stderr";
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) _exit(127);
        const int in = open("/dev/null", O_RDONLY);
        const int out = open(out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0) _exit(127);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        std::vector<char*> argv;
        std::string first = argv0.empty() ? exe : argv0;
        argv.push_back(first.data());
        std::vector<std::string> copies(args);
        for (auto& a : copies) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(exe.c_str(), argv.data());
        _exit(127);
    }
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    RunResult r;
    r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    r.out = slurp(out_file);
    r.err = slurp(err_file);
    fs::remove(out_file);
    fs::remove(err_file);
    return r;
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

std::string irregular_ms(int n, int low, int spread, unsigned long long seed) {
    std::string text;
    unsigned long long x = seed;
    for (int i = 0; i < n; ++i) {
        x ^= x << 13, x ^= x >> 7, x ^= x << 17;
        text += std::to_string(low + static_cast<int>(x % static_cast<unsigned long long>(spread))) + "\n";
    }
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
