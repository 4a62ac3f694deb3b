#include "driver/run.hpp"

#include <new>

#include "driver/report.hpp"
#include "nongauss/stages.hpp"

namespace nongauss {

int run_command_line(int argc, char** argv) {
    Settings settings;
    Names names;
    if (!parse_command_line(argc, argv, settings, names)) {
        print_usage();
        return 1;
    }

    StreamTranscript transcript(stderr);
    try {
        ReadOptions read_options;
        read_options.program_name = program_name();
        const Series series = Series::read_file(names.input_name, transcript, read_options);
        return analyse_series(settings, names, series, transcript);
    } catch (const Error& e) {
        std::fputs(e.report().c_str(), stderr);
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

    const WriteOutcome ts = write_ts_file(names, prepared.settings(), prepared, inc);
    if (ts != WriteOutcome::written) return ts == WriteOutcome::not_opened ? 0 : 1;

    const Result result = complete(std::move(inc), prepared, transcript);

    const WriteOutcome pdf = write_pdf_file(names, prepared.settings(), result);
    if (pdf == WriteOutcome::failed) return 1;
    if (pdf == WriteOutcome::written && !print_summary(names, prepared.settings(), result.sd_s, result.lambda))
        return 1;
    return 0;
}

}  // namespace nongauss
