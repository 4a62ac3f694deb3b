// nongauss-scan: lambda and SD of many recordings at many scales, one table.
#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "nongauss/output_file.hpp"
#include "nongauss/thread_pool.hpp"
#include "nongauss/version.hpp"
#include "nongauss/heap.hpp"
#include "nongauss/scan.hpp"
#include "scan/scan_options.hpp"

namespace {

using nongauss::scan::ScanOptions;

std::string program_of(const char* argv0) {
    const std::string full = argv0 != nullptr ? argv0 : "nongauss-scan";
    const std::size_t slash = full.find_last_of('/');
    return slash == std::string::npos ? full : full.substr(slash + 1);
}

// Rows of the files in command-line order: each file's rows go out as soon
// as every file before it is out. As many files at once as -j says (each
// file's own loops and scales on the threads the others leave free).
int run(const ScanOptions& options) {
    const long nfiles = static_cast<long>(options.files.size());
    nongauss::ThreadPool pool(std::max(options.jobs, nongauss::ThreadPool::processor_count()));
    const long jobs = options.jobs > 0 ? options.jobs : pool.size();

    std::vector<std::string> rows(options.files.size());
    std::vector<char> failed(options.files.size(), 0);
    std::fputs(nongauss::scan_table_header(options).c_str(), stdout);
    bool any_failed = false;
    pool.ordered(
        nfiles, jobs,
        [&](long f) {
            const auto i = static_cast<std::size_t>(f);
            bool file_failed = false;
            rows[i] = nongauss::scan_file(options.files[i], options, pool, file_failed);
            failed[i] = file_failed ? 1 : 0;
        },
        [&](long f) {
            const auto i = static_cast<std::size_t>(f);
            std::fwrite(rows[i].data(), 1, rows[i].size(), stdout);
            std::fflush(stdout);
            std::string().swap(rows[i]);
            any_failed = any_failed || failed[i] != 0;
        });
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        std::fprintf(stderr, "nongauss-scan: error while writing the table to standard output\n");
        return 1;
    }
    return any_failed ? 2 : 0;
}

// With --pdf: no PDF file may replace an input, and the directory is made
// (as mkdir -p) before any work. Returns the exit status on a failure, said
// on standard error; 0 to go on.
int prepare_pdf_directory(const ScanOptions& options, const std::string& program) {
    nongauss::InputFiles inputs;
    for (const std::string& file : options.files) inputs.add(file);
    for (const std::string& file : options.files) {
        for (const double scale : options.scales) {
            nongauss::Settings at_scale = options.settings;
            at_scale.scale = scale;
            const std::string path =
                options.pdf_dir + "/" + nongauss::pdf_name(file, nongauss::with_limits(at_scale).scale);
            if (!inputs.contains(path)) continue;
            std::fprintf(stderr, "%s: the PDF file %s is one of the input files: nothing was written\n",
                         program.c_str(), path.c_str());
            return 1;
        }
    }
    std::string why;
    if (nongauss::make_directories(options.pdf_dir, why)) return 0;
    std::fprintf(stderr, "%s: cannot make the directory %s: %s\n", program.c_str(), options.pdf_dir.c_str(),
                 why.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    // Temporary PDF files are removed when a signal ends the run.
    nongauss::install_output_cleanup();
    // As in nongauss: freed arrays are reused rather than returned and
    // faulted in again, and taken in 2 MiB pages.
    nongauss::prepare_heap();
    const std::string program = program_of(argc > 0 ? argv[0] : nullptr);
    std::vector<std::string> args(argv + 1, argv + argc);
    ScanOptions options;
    std::string error;
    if (!nongauss::scan::parse_scan_options(args, options, error)) {
        std::fprintf(stderr, "%s: %s\n%s", program.c_str(), error.c_str(),
                     nongauss::scan::usage_text(program).c_str());
        return 1;
    }
    if (options.help) {
        std::fputs(nongauss::scan::usage_text(program).c_str(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (options.version) {
        std::printf("nongauss-scan %s\n", nongauss::version);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (!options.pdf_dir.empty()) {
        std::set<std::string> names;
        for (const std::string& file : options.files) {
            const std::string name = nongauss::pdf_name(file, 0);
            if (!names.insert(name).second) {
                std::fprintf(stderr, "%s: two input files would write the same PDF file names (%s)\n",
                             program.c_str(), file.c_str());
                return 1;
            }
        }
        if (const int status = prepare_pdf_directory(options, program); status != 0) return status;
    }
    return run(options);
}
