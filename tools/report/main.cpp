// nongauss-report: a self-contained HTML report of a recording, or of a cohort.
#include <cstdio>
#include <string>
#include <vector>

#include "nongauss/heap.hpp"
#include "nongauss/output_file.hpp"
#include "nongauss/thread_pool.hpp"
#include "nongauss/version.hpp"
#include "nongauss/report.hpp"

int main(int argc, char** argv) {
    nongauss::install_output_cleanup();
    nongauss::prepare_heap();
    std::string program = argc > 0 && argv[0] != nullptr ? argv[0] : "nongauss-report";
    if (const std::size_t slash = program.find_last_of('/'); slash != std::string::npos)
        program = program.substr(slash + 1);
    nongauss::report::ReportOptions options;
    std::string error;
    if (!nongauss::report::parse_report_options(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        std::fprintf(stderr, "%s: %s\n%s", program.c_str(), error.c_str(),
                     nongauss::report::usage_text(program).c_str());
        return 1;
    }
    if (options.help) {
        std::fputs(nongauss::report::usage_text(program).c_str(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (options.version) {
        std::printf("nongauss-report %s\n", nongauss::version);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    std::string message;
    int status = 0;
    if (options.cohort) {
        status = nongauss::report::write_cohort_report(options, message);
    } else {
        nongauss::ThreadPool pool(options.jobs);
        status = nongauss::report::write_recording_report(options, pool, message);
    }
    std::fputs(message.c_str(), stderr);
    return status;
}
