// Fuzz target: the whole analysis on arbitrary short series with arbitrary
// option values.
//
// The bytes give option words, which go through the real option parser, and a
// series of up to a few hundred intervals (typical RR intervals in ms or s,
// or arbitrary doubles), which goes to the same analysis the tool runs after
// its reader. The library's errors, the legitimate end of many such runs,
// are caught as the tool catches them; the leak checker sees every array a
// run leaves behind, whichever way it ends.
//
// Besides memory safety and defined behaviour: the exit status is 0 or 1; a
// run with status 0 wrote a complete PDF file and one summary line, and nothing it
// wrote is infinite or not a number unless the increments have no spread
// (then the standardised values are undefined, as documented). Results that
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

#include "driver/options.hpp"
#include "driver/run.hpp"
#include "nongauss/analysis.hpp"
#include "nongauss/error.hpp"
#include "nongauss/series.hpp"
#include "numeric/arrays.hpp"
#include "prep/interval_check.hpp"
#include "prep/resample.hpp"
#include "scratch.hpp"

namespace {

using nongauss::fuzzing::require;

std::string dir;
std::string summary_path;

// How the runs ended; written at exit to the file named by the environment
// variable NONGAUSS_FUZZ_STATS, if set, to see where the search spends its time.
struct Outcomes {
    long skipped = 0, fatal = 0, status0 = 0, status1 = 0;
} outcomes;

void write_outcomes() {
    const char* path = std::getenv("NONGAUSS_FUZZ_STATS");
    if (path == nullptr) return;
    if (std::FILE* f = std::fopen(path, "w")) {
        std::fprintf(f, "skipped %ld\nfatal %ld\nstatus0 %ld\nstatus1 %ld\n", outcomes.skipped,
                     outcomes.fatal, outcomes.status0, outcomes.status1);
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
bool affordable(const nongauss::Settings& s, const double* rri, int ndata) {
    if (nongauss::first_unusable_interval(rri, ndata) != 0) return true;  // rejected at once
    double sum = 0.0;
    for (int i = 1; i <= ndata; ++i) sum = sum + rri[i];
    const double total_time = (sum - rri[ndata]) / nongauss::unit_divisor(nongauss::unit_rule(rri[1]));
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

std::vector<std::string> lines_of(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
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

void check_outputs(const nongauss::Settings& s, const nongauss::Names& names) {
    const auto pdf = lines_of(names.pdf_name);
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

    const auto ts = lines_of(names.ts_name);
    require(ts.size() >= 2, "TS file has rows");
    for (std::size_t i = 1; i < ts.size(); ++i) {
        const auto f = fields_of(ts[i]);
        require(f.size() == 3, "TS row of three fields");
        require(finite_text(f[0]) && finite_text(f[1]), "time and RRI finite");
        require(finite_text(f[2]) || (s.standardized_ts && degenerate), "increment finite");
    }

    const auto summary = lines_of(summary_path);
    require(summary.size() == 1, "one summary line");
    const auto f = fields_of(summary[0]);
    require(f.size() == 4 && finite_text(f[2]) && finite_text(f[3]), "summary SD and lambda finite");
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
    dir = nongauss::fuzzing::make_scratch_dir();
    summary_path = dir + "/summary";
    std::atexit(write_outcomes);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider fdp(data, size);

    // Options, through the parser as the tool takes them.
    static const char letters[] = "013vadmnqrst";
    std::vector<std::string> words = {"nongauss"};
    const int noptions = fdp.ConsumeIntegralInRange<int>(0, 6);
    for (int i = 0; i < noptions; ++i) {
        const char letter = letters[fdp.ConsumeIntegralInRange<int>(0, sizeof letters - 2)];
        words.push_back(std::string("-") + letter);
        if (std::string("dmnqrst").find(letter) != std::string::npos)
            words.push_back(option_value(fdp));
    }
    words.push_back(dir + "/rec.txt");
    std::vector<const char*> argv;
    for (const auto& w : words) argv.push_back(w.c_str());
    argv.push_back(nullptr);
    nongauss::Settings settings;
    nongauss::Names names;
    if (nongauss::parse_command_line(static_cast<int>(words.size()), argv.data(), settings, names) !=
        nongauss::CommandLine::analyse)
        return 0;

    // The series, sized exactly, so that any read past it is caught.
    const int ndata = fdp.ConsumeIntegralInRange<int>(1, max_intervals);
    std::vector<double> intervals(static_cast<std::size_t>(ndata));
    for (double& v : intervals) v = interval(fdp);
    if (!affordable(settings, nongauss::unit_offset(intervals.data()), ndata)) {
        ++outcomes.skipped;
        return 0;
    }

    std::remove(names.ts_name.c_str());
    std::remove(names.pdf_name.c_str());
    require(std::freopen(summary_path.c_str(), "w", stdout) != nullptr, "summary file");
    int status = -1;
    try {
        nongauss::DiscardTranscript transcript;
        const nongauss::Series series = nongauss::Series::from_intervals(intervals);
        static nongauss::ThreadPool pool(2);
        status = nongauss::analyse_series(settings, names, series, transcript, pool);
    } catch (const nongauss::Error& e) {
        if (e.kind() == nongauss::ErrorKind::fatal) {
            ++outcomes.fatal;
            return 0;
        }
        status = 1;  // the tool's status for unusable input
    }
    std::fflush(stdout);

    require(status == 0 || status == 1, "exit status 0 or 1");
    ++(status == 0 ? outcomes.status0 : outcomes.status1);
    if (status == 0) {
        check_outputs(settings, names);
        check_units(intervals, settings);
        check_constant(intervals, settings);
    }
    return 0;
}
