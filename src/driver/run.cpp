#include "driver/run.hpp"

#include <sys/stat.h>

#include <cstdio>
#include <exception>
#include <new>
#include <optional>
#include <string>
#include <system_error>

#include "driver/output_file.hpp"
#include "driver/report.hpp"
#include "numeric/worker_thread.hpp"
#include "nongauss/stages.hpp"
#include "text/printf.hpp"
#include "text/tables.hpp"

namespace nongauss {

namespace {

// True when `a` and `b` name one existing file (same device and inode,
// whatever path or link leads there).
bool same_file(const std::string& a, const std::string& b) {
    struct stat sa {};
    struct stat sb {};
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

// An output must never replace the input it is made from.
bool check_outputs_spare_input(const Names& names) {
    for (const std::string* output : {&names.ts_name, &names.pdf_name}) {
        if (!same_file(*output, names.input_name)) continue;
        std::fprintf(stderr, "The output file %s is the input file %s: nothing was written!\n",
                     output->c_str(), names.input_name.c_str());
        return false;
    }
    return true;
}

// Lambda and the densities only read the increments: they are worked out on
// a thread of their own while the TS file is written. Their part of the
// transcript is held and passed on when the result is taken, after the TS
// file's line, where a run one stage after the other writes it. Where no
// thread can be started they are worked out when the result is taken.
class Completion {
public:
    Completion(const ScaleIncrements& inc, const PreparedSeries& prepared) : inc_(inc), prepared_(prepared) {
        try {
            thread_ = WorkerThread([this] {
                try {
                    result_.emplace(complete(inc_, prepared_, transcript_));
                } catch (...) {
                    failure_ = std::current_exception();
                }
            });
            started_ = true;
        } catch (const std::system_error&) {
        }
    }
    Completion(const Completion&) = delete;
    Completion& operator=(const Completion&) = delete;

    // The result; what the stage wrote goes to `transcript` first, and its
    // error is thrown after that. Taken once.
    Result result(Transcript& transcript) {
        if (!started_) return complete(inc_, prepared_, transcript);
        thread_.join();
        transcript.write(transcript_.text());
        if (failure_) std::rethrow_exception(failure_);
        return std::move(*result_);
    }

private:
    const ScaleIncrements& inc_;
    const PreparedSeries& prepared_;
    StringTranscript transcript_;
    std::optional<Result> result_;
    std::exception_ptr failure_;
    bool started_ = false;
    WorkerThread thread_;  // last: joined before the members it writes go
};

}  // namespace

int run_command_line(int argc, char** argv) {
    Settings settings;
    Names names;
    switch (parse_command_line(argc, argv, settings, names)) {
        case CommandLine::usage_error: print_usage(); return 1;
        case CommandLine::help: return print_help() ? 0 : 1;
        case CommandLine::version: return print_version() ? 0 : 1;
        case CommandLine::analyse: break;
    }
    if (!check_outputs_spare_input(names)) return 1;

    StreamTranscript transcript(stderr);
    std::optional<Series> series;
    try {
        ReadOptions read_options;
        read_options.program_name = program_name();
        series.emplace(Series::read_file(names.input_name, transcript, read_options));
        return analyse_series(settings, names, *series, transcript);
    } catch (const Error& e) {
        std::fputs(e.report().c_str(), stderr);
        // A file that stopped reading on its first rows is most likely an
        // export in another shape: say what to do after the error.
        const std::string& hint = series ? series->hint() : e.hint();
        if (!hint.empty()) std::fprintf(stderr, "%s\n", hint.c_str());
        return 1;
    } catch (const std::bad_alloc&) {
        std::fputs(Error(ErrorKind::fatal, "allocation failure").report().c_str(), stderr);
        return 1;
    }
}

int analyse_series(const Settings& settings, const Names& names, const Series& series,
                   Transcript& transcript) {
    const PreparedSeries prepared(series, settings, transcript);
    ScaleIncrements inc = increments_at(prepared, settings.scale, transcript);

    OutputFile ts_file;
    OutputFile pdf_file;
    Completion completion(inc, prepared);
    const WriteOutcome ts = write_ts_file(ts_file, names, prepared.settings(), prepared, inc);
    if (ts != WriteOutcome::written) return ts == WriteOutcome::not_opened ? 0 : 1;
    const Result result = completion.result(transcript);
    // Densities divided by a tiny -r overflow: an error, not "inf" in the file.
    const double divisor = prepared.settings().pdf_divisor;
    if (!pdf_table_in_range(result.p_exp.data(), result.p_model.data(), prepared.settings().nbins, divisor))
        throw Error(ErrorKind::fatal, formatted("The densities divided by %g are out of range!", divisor));

    const WriteOutcome pdf = write_pdf_file(pdf_file, names, prepared.settings(), result);
    // The files are put in place together, once both are complete; a failed
    // PDF file leaves the previous pair as it was.
    if (pdf == WriteOutcome::failed) return 1;
    {
        // An interrupt waits until both names hold the new files.
        const DeferredSignals deferred;
        if (!ts_file.commit()) {
            report_write_error(ts_file);
            return 1;
        }
        if (pdf == WriteOutcome::not_opened) return 0;
        if (!pdf_file.commit()) {
            report_write_error(pdf_file);
            return 1;
        }
    }
    return print_summary(names, prepared.settings(), result.sd_s, result.lambda) ? 0 : 1;
}

}  // namespace nongauss
