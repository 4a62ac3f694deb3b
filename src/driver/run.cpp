#include "driver/run.hpp"

#include <cstdio>
#include <exception>
#include <new>
#include <optional>
#include <string>

#include "driver/report.hpp"
#include "nongauss/output_file.hpp"
#include "nongauss/stages.hpp"
#include "nongauss/formatted.hpp"
#include "nongauss/tables.hpp"

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

}  // namespace

int run_command_line(int argc, char** argv, ThreadPool& pool) {
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
        return analyse_series(settings, names, *series, transcript, pool);
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
                   Transcript& transcript, ThreadPool& pool) {
    ScaleOptions options;
    options.pool = &pool;
    const PreparedSeries prepared(series, settings, transcript, options);
    ScaleIncrements inc = increments_at(prepared, settings.scale, transcript, options);

    // Lambda and the densities only read the increments: they are worked out
    // beside the TS file as it is written. Their part of the transcript is
    // held and passed on after the TS file's line, where a run one stage
    // after the other writes it.
    OutputFile ts_file;
    OutputFile pdf_file;
    StringTranscript held;
    std::optional<Result> completed;
    std::exception_ptr failure;
    WriteOutcome ts = WriteOutcome::failed;
    pool.beside(
        [&] {
            try {
                completed.emplace(complete(inc, prepared, held, options));
            } catch (...) {
                failure = std::current_exception();
            }
        },
        [&] { ts = write_ts_file(ts_file, names, prepared.settings(), prepared, inc, pool); });
    if (ts != WriteOutcome::written) return 1;
    transcript.write(held.text());
    if (failure) std::rethrow_exception(failure);
    const Result& result = *completed;
    // Densities divided by a tiny -r overflow: an error, not "inf" in the file.
    const double divisor = prepared.settings().pdf_divisor;
    if (!pdf_table_in_range(result.p_exp.data(), result.p_model.data(), prepared.settings().nbins, divisor))
        throw Error(ErrorKind::fatal, formatted("The densities divided by %g are out of range!", divisor));
    if (write_pdf_file(pdf_file, names, prepared.settings(), result, pool) != WriteOutcome::written) return 1;

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
