#include "driver/run.hpp"

#include <cstdio>
#include <exception>
#include <new>
#include <optional>
#include <string>
#include <system_error>

#include "driver/report.hpp"
#include "numeric/worker_thread.hpp"
#include "nongauss/output_file.hpp"
#include "nongauss/stages.hpp"
#include "text/printf.hpp"
#include "text/tables.hpp"

namespace nongauss {

namespace {

// An output must never replace the input it is made from (the same file,
// whatever path or link leads there).
bool check_outputs_spare_input(const Names& names) {
    InputFiles input;
    input.add(names.input_name);
    for (const std::string* output : {&names.ts_name, &names.pdf_name}) {
        if (!input.contains(*output)) continue;
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
    if (write_ts_file(ts_file, names, prepared.settings(), prepared, inc) != WriteOutcome::written) return 1;
    const Result result = completion.result(transcript);
    // Densities divided by a tiny -r overflow: an error, not "inf" in the file.
    const double divisor = prepared.settings().pdf_divisor;
    if (!pdf_table_in_range(result.p_exp.data(), result.p_model.data(), prepared.settings().nbins, divisor))
        throw Error(ErrorKind::fatal, formatted("The densities divided by %g are out of range!", divisor));
    if (write_pdf_file(pdf_file, names, prepared.settings(), result) != WriteOutcome::written) return 1;

    // Both files are complete: they are put in place together, the TS file
    // first, so that a TS and a PDF file of two runs never stand side by
    // side. A failure leaves the previous pair as it was.
    OutputFile* const pair[] = {&ts_file, &pdf_file};
    std::size_t failed = 0;
    if (!commit_together(pair, failed)) {
        std::fprintf(stderr, "Error while writing output file %s!\n", pair[failed]->name().c_str());
        return 1;
    }
    return print_summary(names, prepared.settings(), result.sd_s, result.lambda) ? 0 : 1;
}

}  // namespace nongauss
