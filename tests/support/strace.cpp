#include "support/strace.hpp"

#include <cstdlib>
#include <map>
#include <sstream>

namespace nongauss::testing {

namespace {

std::string strace_path() {
    for (const char* p : {"/usr/bin/strace", "/bin/strace", "/usr/local/bin/strace"})
        if (std::filesystem::exists(p)) return p;
    return "";
}

}  // namespace

bool strace_usable(std::string& why) {
    const std::string strace = strace_path();
    if (strace.empty()) {
        why = "strace is not installed (Debian package 'strace')";
        return false;
    }
    ScratchDir dir;
    const RunResult r = run_tool({"-f", "-qq", "-o", "/dev/null", "/bin/true"}, dir.path(), strace);
    if (r.status != 0) {
        why = "strace cannot trace here: " + r.err;
        return false;
    }
    return true;
}

RunResult run_traced(const std::vector<std::string>& strace_options, const std::string& exe,
                     const std::vector<std::string>& args, const std::filesystem::path& dir,
                     const std::string& trace_file) {
    std::vector<std::string> words = {"-f", "-qq", "-o", trace_file.empty() ? "/dev/null" : trace_file};
    // LeakSanitizer cannot work under ptrace: a sanitizer build's program
    // runs without it here.
    const char* asan = std::getenv("ASAN_OPTIONS");
    words.push_back("-E");
    words.push_back(std::string("ASAN_OPTIONS=") + (asan != nullptr && *asan != '\0' ? std::string(asan) + ":" : "") +
                    "detect_leaks=0");
    words.insert(words.end(), strace_options.begin(), strace_options.end());
    words.push_back("--");
    words.push_back(exe);
    words.insert(words.end(), args.begin(), args.end());
    return run_tool(words, dir, strace_path());
}

int call_number(const std::string& trace, const std::string& syscall, const std::string& part) {
    // Lines read "PID syscall(...) = ..." (or "syscall(..." before a second
    // thread exists); a call interrupted by another thread's line is
    // "<unfinished ...>" there and "resumed" later: counted once, at its start.
    std::map<std::string, int> counts;
    std::istringstream in(trace);
    for (std::string line; std::getline(in, line);) {
        std::string pid;
        std::size_t start = 0;
        const std::size_t space = line.find(' ');
        if (space != std::string::npos && line.find_first_not_of("0123456789") == space) {
            pid = line.substr(0, space);
            start = line.find_first_not_of(' ', space);
        }
        if (line.compare(start, syscall.size() + 1, syscall + "(") != 0) continue;
        const int n = ++counts[pid];
        if (line.find(part) != std::string::npos) return n;
    }
    return 0;
}

int first_write_to(const std::string& trace, const std::string& path_part) {
    std::map<std::string, int> writes;  // per process or thread, as strace counts
    std::string call;                   // "write(FD," once the file is open
    std::istringstream in(trace);
    for (std::string line; std::getline(in, line);) {
        const std::size_t space = line.find(' ');
        const std::string pid = space != std::string::npos && line.find_first_not_of("0123456789") == space
                                    ? line.substr(0, space)
                                    : "";
        if (call.empty() && line.find("openat(") != std::string::npos && line.find(path_part) != std::string::npos) {
            const std::size_t eq = line.rfind("= ");
            if (eq == std::string::npos) return 0;
            call = "write(" + std::to_string(std::atoi(line.c_str() + eq + 2)) + ",";
        }
        if (line.find(" write(") == std::string::npos && line.rfind("write(", 0) != 0) continue;
        const int n = ++writes[pid];
        if (!call.empty() && line.find(call) != std::string::npos) return n;
    }
    return 0;
}

}  // namespace nongauss::testing
