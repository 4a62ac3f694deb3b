#include "nongauss/analysis.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <system_error>
#include <utility>

#include "analysis/stage_state.hpp"
#include "nongauss/stages.hpp"
#include "numeric/parallel.hpp"
#include "numeric/worker_thread.hpp"
#include "prep/resample.hpp"

namespace nongauss {

Settings with_limits(Settings s) {
    if (s.scale < 2.0) s.scale = 2.0;
    if (s.dt < 0.01) s.dt = 0.01;
    if (s.nbins < 10) s.nbins = 10;
    if (s.pdf_divisor == 0.0) s.pdf_divisor = 1.0;
    return s;
}

Result analyse(const Series& series, const Settings& settings, Transcript& transcript,
               const ScaleOptions& options) {
    const PreparedSeries prepared(series, settings, transcript, options);
    ScaleIncrements inc = increments_at(prepared, prepared.settings().scale, transcript, options);
    return complete(std::move(inc), prepared, transcript, options);
}

Result analyse(const Series& series, const Settings& settings, const ScaleOptions& options) {
    DiscardTranscript discard;
    return analyse(series, settings, discard, options);
}

namespace {

// One scale of analyse_scales: its result, or the error of that scale in
// Result::error. Errors of the whole series propagate.
Result analyse_scale(const PreparedSeries& prepared, double scale, Transcript& transcript,
                     const ScaleOptions& options) {
    try {
        ScaleIncrements inc = increments_at(prepared, scale, transcript, options);
        return complete(std::move(inc), prepared, transcript, options);
    } catch (const Error& e) {
        Settings at_scale = prepared.settings();
        at_scale.scale = scale;
        Result r;
        r.scale_s = with_limits(at_scale).scale;
        r.scale_pt = scale_in_points(r.scale_s, at_scale.dt);
        r.n_beats = prepared.n_beats();
        r.duration_s = prepared.duration_s();
        r.unit = prepared.unit();
        r.warnings = prepared.warnings();
        r.error = e;
        return r;
    }
}

// A scale analysed by one of the lanes of analyse_in_lanes.
struct ScaleRun {
    Result result;
    StringTranscript transcript;
    std::exception_ptr failure;  // an error of the whole series
    std::atomic<bool> done{false};  // set once the three above are final
};

// The scales on `lanes` threads at once (the calling thread one of them), one
// thread per scale: each scale's loops stay on its thread, so the cores are
// busy with whole scales instead of waiting at the end of every loop. The
// results are the same doubles as one scale after the other; each scale's
// transcript is kept until those before it are out, and the calling thread
// passes them on in order. An error of the whole series at scale i ends the
// run as it would one scale after the other: the scales before i are out,
// no scale is started after it, and it is thrown once the others are done.
std::vector<Result> analyse_in_lanes(const PreparedSeries& prepared, const std::vector<double>& scales,
                                     Transcript& transcript, const ScaleOptions& options, int lanes) {
    ScaleOptions one_thread = options;
    one_thread.threads = 1;
    std::vector<ScaleRun> runs(scales.size());
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stop{false};

    // Analyses the next scale not yet taken; false when none is left or
    // the run stops.
    const auto run_next_scale = [&] {
        if (stop.load()) return false;
        const std::size_t i = next.fetch_add(1);
        if (i >= scales.size()) return false;
        ScaleRun& run = runs[i];
        try {
            run.result = analyse_scale(prepared, scales[i], run.transcript, one_thread);
        } catch (...) {
            run.failure = std::current_exception();
            stop.store(true);
        }
        run.done.store(true);
        return true;
    };

    std::vector<Result> results;
    results.reserve(scales.size());
    // Passes on the results and transcripts of the finished scales that
    // follow those already out (of all of them once every lane has ended),
    // and throws the failure of the first scale that failed.
    const auto pass_on_finished = [&](bool all) {
        while (results.size() < scales.size()) {
            ScaleRun& run = runs[results.size()];
            if (!all && !run.done.load()) return;
            if (run.failure) std::rethrow_exception(run.failure);
            transcript.write(run.transcript.text());
            run.transcript.clear();
            results.push_back(std::move(run.result));
        }
    };

    std::vector<WorkerThread> threads;
    const auto join_all = [&] {
        for (auto& t : threads) t.join();
    };
    try {
        for (int k = 1; k < lanes; ++k) {
            try {
                threads.emplace_back([&run_next_scale] {
                    while (run_next_scale()) {
                    }
                });
            } catch (const std::system_error&) {
                break;  // the calling thread takes the rest
            }
        }
        // The calling thread analyses scales too and passes on the transcript
        // between them.
        while (run_next_scale()) pass_on_finished(false);
        join_all();
        pass_on_finished(true);
    } catch (...) {
        stop.store(true);
        join_all();
        throw;
    }
    return results;
}

}  // namespace

std::vector<Result> analyse_scales(const Series& series, const Settings& settings,
                                   const std::vector<double>& scales, Transcript& transcript,
                                   const ScaleOptions& options) {
    const PreparedSeries prepared(series, settings, transcript, options);
    const ThreadLimit limit(options.threads);
    const int lanes = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(worker_threads()), scales.size()));
    if (lanes > 1) return analyse_in_lanes(prepared, scales, transcript, options, lanes);
    std::vector<Result> results;
    results.reserve(scales.size());
    for (const double scale : scales) results.push_back(analyse_scale(prepared, scale, transcript, options));
    return results;
}

std::vector<Result> analyse_scales(const Series& series, const Settings& settings,
                                   const std::vector<double>& scales, const ScaleOptions& options) {
    DiscardTranscript discard;
    return analyse_scales(series, settings, scales, discard, options);
}

std::vector<double> log_spaced_scales(double from, double to, int count) {
    std::vector<double> scales;
    if (count < 1) return scales;
    scales.reserve(static_cast<std::size_t>(count));
    const double ratio = to / from;
    for (int i = 0; i < count; ++i) {
        if (i == 0)
            scales.push_back(from);
        else if (i == count - 1)
            scales.push_back(to);
        else if (ratio > 0 && std::isfinite(ratio))
            scales.push_back(from * std::pow(ratio, static_cast<double>(i) / (count - 1)));
        else  // a ratio beyond the range of doubles: through the logarithms
            scales.push_back(std::exp(std::log(from) + (std::log(to) - std::log(from)) * i / (count - 1)));
    }
    return scales;
}

}  // namespace nongauss
