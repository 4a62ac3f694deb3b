// Fuzz target: the whole analysis on arbitrary short series with arbitrary
// option values.
//
// The bytes give option letters and values, which go through the options'
// conversions and limits as every face takes them, and a series of up to a
// few hundred intervals (typical RR intervals in ms or s, or arbitrary
// doubles), which goes through the stages of the analysis and the TS and PDF
// tables, as the tool runs them after its reader. The library's errors, the
// legitimate end of many such runs, are caught as the tool catches them; the
// leak checker sees every array a run leaves behind, whichever way it ends.
//
// Besides memory safety and defined behaviour: a run that completes wrote a
// complete PDF table, and nothing it wrote (nor its SD and lambda) is
// infinite or not a number unless the increments have no spread (then the
// standardised values are undefined, as documented). Results that
// are finite but wrong are caught by two properties of the analysis: the same
// intervals given in milliseconds and in seconds give the same SD and lambda,
// and a constant series gives an SD and a lambda of 0.
#include <fuzzer/FuzzedDataProvider.h>

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "nongauss/analysis.hpp"
#include "nongauss/error.hpp"
#include "nongauss/options.hpp"
#include "nongauss/series.hpp"
#include "nongauss/stages.hpp"
#include "nongauss/tables.hpp"
#include "nongauss/thread_pool.hpp"
#include "scratch.hpp"

namespace {

using nongauss::fuzzing::require;

// How the runs ended; written at exit to the file named by the environment
// variable NONGAUSS_FUZZ_STATS, if set, to see where the search spends its time.
struct Outcomes {
    long skipped = 0, fatal = 0, completed = 0, rejected = 0;
} outcomes;

void write_outcomes() {
    const char* path = std::getenv("NONGAUSS_FUZZ_STATS");
    if (path == nullptr) return;
    if (std::FILE* f = std::fopen(path, "w")) {
        std::fprintf(f, "skipped %ld\nfatal %ld\ncompleted %ld\nrejected %ld\n", outcomes.skipped,
                     outcomes.fatal, outcomes.completed, outcomes.rejected);
        std::fclose(f);
    }
}

constexpr int max_intervals = 400;
// Inputs whose run would take long are not interesting for memory safety and
// would slow the search down; they are skipped (rough cost in operations).
constexpr double max_cost = 2e6;

std::string option_value(FuzzedDataProvider& fdp) {
    switch (fdp.ConsumeIntegralInRange<int>(0, 3)) {
        case 0: return std::to_string(fdp.ConsumeIntegralInRange<int>(-5, 300));
        case 1: {
            char text[64];
            std::snprintf(text, sizeof text, "%.17g", fdp.ConsumeFloatingPoint<double>());
            return text;
        }
        default: return fdp.ConsumeRandomLengthString(24);
    }
}

double interval(FuzzedDataProvider& fdp) {
    switch (fdp.ConsumeIntegralInRange<int>(0, 7)) {
        case 0: return fdp.ConsumeFloatingPoint<double>();
        case 1: return fdp.ConsumeFloatingPointInRange<double>(0.2, 2.5);  // seconds
        case 2: return 1e-300 * fdp.ConsumeIntegralInRange<int>(0, 1000);
        case 3: {  // any magnitude, subnormal to near the largest double
            const int exponent = fdp.ConsumeIntegralInRange<int>(-1074, 1023);
            return std::ldexp(1.0 + fdp.ConsumeIntegral<std::uint8_t>() / 256.0, exponent);
        }
        default: return 300 + fdp.ConsumeIntegralInRange<int>(0, 18000) / 10.0;  // ms
    }
}

// Mirrors the preparation stage's sizes to bound the cost of a run.
bool affordable(const nongauss::Settings& s, const std::vector<double>& rri) {
    for (const double v : rri)
        if (!(v > 0.0) || !std::isfinite(v)) return true;  // rejected at once
    double sum = 0.0;
    for (const double v : rri) sum = sum + v;
    const double total_time = (sum - rri.back()) / nongauss::unit_divisor(nongauss::unit_rule(rri.front()));
    const double points = total_time / s.dt;
    if (!(points < static_cast<double>(INT_MAX))) return true;  // ends at once: too long
    const double nres = std::floor(points);
    if (nres > 8000) return false;
    const double sp = static_cast<double>(nongauss::scale_in_points(s.scale, s.dt));
    if (sp > nres) return true;  // ends at once: too short
    double cost = nres * 10;
    const int ncoef = nongauss::fit_coefficients(s);
    if (ncoef <= 1) {
        cost += (nres - sp + 1) * sp;
    } else if (ncoef > (1 << 28)) {
        // the coefficient array cannot be had: ends at once
    } else {
        const double m = ncoef;
        const double windows = std::floor(nres / sp);
        cost += nres * 2 * m * (m + 2) + (s.fit == nongauss::FitMethod::svd ? 0 : windows * m * m * m);
    }
    if (s.nbins > (1 << 27)) return true;  // the bin arrays cannot be had: ends at once
    cost += s.nbins * 3000.0;
    return cost <= max_cost;
}

// The lines of a table written to memory.
std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// A table as its writer writes it into a stream.
template <typename Write>
std::string table_text(Write write) {
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* stream = open_memstream(&buffer, &size);
    require(stream != nullptr, "memory stream");
    write(stream);
    require(std::fclose(stream) == 0, "table written");
    std::string text(buffer, size);
    std::free(buffer);
    return text;
}

bool finite_text(const std::string& field) {
    for (char c : field)
        if (std::isalpha(static_cast<unsigned char>(c))) return false;  // inf, nan
    return !field.empty();
}

std::vector<std::string> fields_of(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string f; std::getline(in, f, '\t');) fields.push_back(f);
    return fields;
}

void check_outputs(const nongauss::Settings& s, const std::string& pdf_text, const std::string& ts_text,
                   const nongauss::Result& result) {
    const auto pdf = lines_of(pdf_text);
    require(pdf.size() == static_cast<std::size_t>(s.nbins) + 1, "PDF file complete");
    // No spread: every bin centre is undefined. Otherwise everything is a number.
    const bool degenerate = !finite_text(fields_of(pdf[1])[0]);
    const bool divisor_sane = std::fabs(s.pdf_divisor) >= 1e-200;
    for (std::size_t i = 1; i < pdf.size(); ++i) {
        const auto f = fields_of(pdf[i]);
        require(f.size() == 3, "PDF row of three fields");
        require(finite_text(f[0]) != degenerate, "bin centres all finite or all undefined");
        if (!degenerate && divisor_sane)
            require(finite_text(f[1]) && finite_text(f[2]), "densities finite");
    }

    const auto ts = lines_of(ts_text);
    require(ts.size() >= 2, "TS file has rows");
    for (std::size_t i = 1; i < ts.size(); ++i) {
        const auto f = fields_of(ts[i]);
        require(f.size() == 3, "TS row of three fields");
        require(finite_text(f[0]) && finite_text(f[1]), "time and RRI finite");
        require(finite_text(f[2]) || (s.standardized_ts && degenerate), "increment finite");
    }

    require(std::isfinite(result.sd_ms) && std::isfinite(result.lambda), "SD and lambda finite");
}

// The analysis of `intervals` in `unit` without the model density, or
// nothing when it ends in an error.
std::optional<nongauss::Result> analysed(const std::vector<double>& intervals, nongauss::Unit unit,
                                         const nongauss::Settings& settings) {
    nongauss::ScaleOptions options;
    options.model_density = false;
    try {
        return nongauss::analyse(nongauss::Series::from_intervals(intervals, unit), settings, options);
    } catch (const nongauss::Error&) {
        return std::nullopt;
    }
}

// Milliseconds and seconds: the intervals in seconds, and the same times a
// thousand, when every one of those divides back to the same double (so the
// analysis works on the same seconds whichever unit it is given) and the
// total time, which is summed in the input's unit, comes out the same (a sum
// that rounds differently may give a grid of one point more or less).
void check_units(const std::vector<double>& intervals, const nongauss::Settings& settings) {
    const nongauss::Unit unit = nongauss::unit_rule(intervals.front());
    const double divisor = nongauss::unit_divisor(unit);
    std::vector<double> seconds(intervals.size()), ms(intervals.size());
    for (std::size_t i = 0; i < intervals.size(); ++i) {
        seconds[i] = intervals[i] / divisor;
        ms[i] = seconds[i] * 1000;
        if (!(ms[i] / 1000 == seconds[i])) return;
    }
    try {
        if (nongauss::Series::from_intervals(seconds, nongauss::Unit::seconds).duration_s() !=
            nongauss::Series::from_intervals(ms, nongauss::Unit::milliseconds).duration_s())
            return;
    } catch (const nongauss::Error&) {
        // rejected in either unit: the analyses below say whether alike
    }
    const auto in_s = analysed(seconds, nongauss::Unit::seconds, settings);
    const auto in_ms = analysed(ms, nongauss::Unit::milliseconds, settings);
    require(in_s.has_value() == in_ms.has_value(), "the unit decides no error");
    if (!in_s) return;
    require(std::fabs(in_s->lambda - in_ms->lambda) <= 1e-9, "same lambda in ms and in s");
    require(std::fabs(in_s->sd_ms - in_ms->sd_ms) <= 1e-9 * std::fabs(in_s->sd_ms), "same SD in ms and in s");
}

// A constant series (the first interval, repeated) has no variability.
void check_constant(const std::vector<double>& intervals, const nongauss::Settings& settings) {
    const std::vector<double> constant(intervals.size(), intervals.front());
    const auto r = analysed(constant, nongauss::unit_rule(intervals.front()), settings);
    if (!r) return;
    require(r->sd_ms == 0.0, "a constant series has SD 0");
    require(r->lambda == 0.0, "a constant series has lambda 0");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::atexit(write_outcomes);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider fdp(data, size);

    // Options, through their conversions and limits, as every face takes them.
    nongauss::Settings settings;
    const int noptions = fdp.ConsumeIntegralInRange<int>(0, 6);
    for (int i = 0; i < noptions; ++i) {
        const auto& option = nongauss::analysis_options[fdp.ConsumeIntegralInRange<std::size_t>(
            0, std::size(nongauss::analysis_options) - 1)];
        if (option.type != nongauss::OptionType::flag) {
            nongauss::apply_value_option(option.letter, option_value(fdp).c_str(), settings);
        } else {
            nongauss::apply_flag_option(option.letter, settings);
        }
    }

    // The series, sized exactly, so that any read past it is caught.
    const int ndata = fdp.ConsumeIntegralInRange<int>(1, max_intervals);
    std::vector<double> intervals(static_cast<std::size_t>(ndata));
    for (double& v : intervals) v = interval(fdp);
    if (!affordable(settings, intervals)) {
        ++outcomes.skipped;
        return 0;
    }

    static nongauss::ThreadPool pool(2);
    std::string ts_text;
    std::string pdf_text;
    std::optional<nongauss::Result> result;
    try {
        nongauss::DiscardTranscript transcript;
        nongauss::ScaleOptions options;
        options.pool = &pool;
        const nongauss::Series series = nongauss::Series::from_intervals(intervals);
        const nongauss::PreparedSeries prepared(series, settings, transcript, options);
        const nongauss::Settings& limited = prepared.settings();
        const nongauss::ScaleIncrements inc = nongauss::increments_at(prepared, limited.scale, transcript, options);
        ts_text = table_text([&](std::FILE* out) {
            nongauss::write_ts_table(out, prepared.resampled(), prepared.resampled_mean_s(), inc.scale_pt(),
                                     inc.centred(), inc.sd_s(), limited.dt, limited.standardized_ts, pool);
        });
        result.emplace(nongauss::complete(inc, prepared, transcript, options));
        if (!nongauss::pdf_table_in_range(result->p_exp.data(), result->p_model.data(), limited.nbins,
                                          limited.pdf_divisor)) {
            ++outcomes.rejected;  // the tool's error: the densities are out of range
            return 0;
        }
        pdf_text = table_text([&](std::FILE* out) {
            nongauss::write_pdf_table(out, result->bin_centre.data(), result->p_exp.data(),
                                      result->p_model.data(), limited.nbins, limited.pdf_divisor, pool);
        });
    } catch (const nongauss::Error& e) {
        ++(e.kind() == nongauss::ErrorKind::fatal ? outcomes.fatal : outcomes.rejected);
        return 0;
    }

    ++outcomes.completed;
    check_outputs(nongauss::with_limits(settings), pdf_text, ts_text, *result);
    check_units(intervals, settings);
    check_constant(intervals, settings);
    return 0;
}
