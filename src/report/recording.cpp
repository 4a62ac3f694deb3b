#include "report/recording.hpp"

#include <algorithm>
#include <cmath>
#include <new>

#include "nongauss/analysis.hpp"
#include "nongauss/artefacts.hpp"
#include "nongauss/clean.hpp"
#include "nongauss/formatted.hpp"
#include "report/text.hpp"
#include "nongauss/scan.hpp"

namespace nongauss::report {

double FlagTally::beats_pct() const {
    std::size_t n = 0;
    for (const std::size_t k : by_kind) n += k;
    return n > 0 ? 100.0 * static_cast<double>(flagged) / static_cast<double>(n) : 0.0;
}

double FlagTally::time_pct() const { return total_s > 0.0 ? 100.0 * flagged_s / total_s : 0.0; }

double FlagTally::per_hour_s() const { return total_s > 0.0 ? flagged_s / (total_s / 3600.0) : 0.0; }

FlagTally tally(const std::vector<double>& seconds, const std::vector<IntervalFlag>& flags) {
    FlagTally t;
    double elapsed = 0.0;
    std::size_t run = 0;
    double run_s = 0.0;
    double run_start = 0.0;
    for (std::size_t i = 0; i < seconds.size(); ++i) {
        const IntervalFlag flag = i < flags.size() ? flags[i] : IntervalFlag::kept;
        ++t.by_kind[static_cast<std::size_t>(flag)];
        t.total_s += seconds[i];
        if (flag != IntervalFlag::kept) {
            ++t.flagged;
            t.flagged_s += seconds[i];
            if (run == 0) run_start = elapsed;
            ++run;
            run_s += seconds[i];
            if (run_s > t.longest_s || (run_s == t.longest_s && run > t.longest_beats)) {
                t.longest_s = run_s;
                t.longest_beats = run;
                t.longest_start_s = run_start;
            }
        } else {
            run = 0;
            run_s = 0.0;
        }
        elapsed += seconds[i];
    }
    return t;
}

std::vector<double> density_scales(const ReportOptions& options) {
    if (!options.density_scales.empty()) return options.density_scales;
    const std::vector<double>& s = options.scales;
    if (s.size() <= 3) return s;
    return {s.front(), s[s.size() / 2], s.back()};
}

std::pair<double, double> central_range(std::vector<double> values) {
    if (values.empty()) return {NAN, NAN};
    std::sort(values.begin(), values.end());
    const auto at = [&](double q) {
        const double position = q * static_cast<double>(values.size() - 1);
        const auto below = static_cast<std::size_t>(std::floor(position));
        const std::size_t above = std::min(below + 1, values.size() - 1);
        const double w = position - static_cast<double>(below);
        return values[below] + w * (values[above] - values[below]);
    };
    return {at(0.025), at(0.975)};
}

namespace {

std::string trimmed(std::string text) {
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

// The warnings a reader of the report should see, in plain words: the
// reader's and the analysis's own (which name the file and the rows), and
// what the numbers themselves say.
std::vector<std::string> plain_warnings(const Recording& r, const ReportOptions& options) {
    std::vector<std::string> out;
    if (r.error) {
        out.push_back("The recording could not be analysed: " + trimmed(r.error->message()));
        return out;
    }
    for (const std::string& w : r.series->warnings()) out.push_back(w);
    const double hours = r.series->duration_s() / 3600.0;
    if (hours < 1.0)
        out.push_back(formatted("The recording lasts %.2g hours: lambda at long scales rests on few increments "
                                "and varies much from one recording to the next.", hours));
    if ((options.detect || options.clean) && r.flag_tally.beats_pct() > 10.0)
        out.push_back(formatted("%.1f %% of the beats were flagged as artefacts or ectopic beats (more than 10 %%): "
                                "the numbers may describe the artefacts more than the heart.",
                                r.flag_tally.beats_pct()));
    if ((options.detect || options.clean) && r.flag_tally.longest_s > 60.0)
        out.push_back(formatted("The longest flagged stretch lasts %.0f s, starting %.2f h into the recording: "
                                "a gap or a run of unreadable signal.",
                                r.flag_tally.longest_s, r.flag_tally.longest_start_s / 3600.0));
    for (const Result& s : r.scales) {
        const std::string at = "At the scale of " + shortest(s.scale_s) + " s: ";
        if (s.error) {
            out.push_back(at + "no result (" + trimmed(s.error->message()) + ")");
            continue;
        }
        for (std::size_t k = r.series->warnings().size(); k < s.warnings.size(); ++k)
            out.push_back(at + s.warnings[k]);
        if (!(s.lambda_sq > 0.0) || !std::isfinite(s.lambda_sq))
            out.push_back(at + "the estimate of lambda squared is not positive (" + shortest(s.lambda_sq) +
                          "): lambda is reported as 0, the increments look no heavier-tailed than a Gaussian's.");
        if (s.n_increments < 1000)
            out.push_back(at + "only " + std::to_string(s.n_increments) +
                          " increments: lambda is uncertain at this scale.");
    }
    for (const SurrogateScale& s : r.surrogates) {
        const std::string at = "At the scale of " + shortest(s.result.scale_s) + " s: ";
        if (s.error) {
            out.push_back(at + "no surrogate floor (" + trimmed(s.error->message()) + ")");
            continue;
        }
        const double least_p = 1.0 / (static_cast<double>(s.surrogate_lambda.size()) + 1.0);
        if (std::isfinite(s.p_surrogate) && s.p_surrogate > 0.05 && s.p_surrogate == least_p)
            out.push_back(at + "lambda exceeds that of all " + std::to_string(s.surrogate_lambda.size()) +
                          " surrogates, but with so few p cannot fall below " + shortest(least_p) +
                          ": at least 19 surrogates are needed for a test at the 5 % level.");
        else if (std::isfinite(s.p_surrogate) && s.p_surrogate > 0.05)
            out.push_back(at + "lambda does not exceed that of its surrogates (p = " + shortest(s.p_surrogate) +
                          "): it is not distinguishable from what a linear Gaussian process with the same spectrum "
                          "and distribution of intervals gives.");
    }
    return out;
}

}  // namespace

Recording analyse_recording(const ReportOptions& options, ThreadPool& pool) {
    Recording r;
    r.input = options.input;
    std::string hash_error;
    r.sha256 = sha256_of_file(options.input, hash_error);
    try {
        if (options.clean) {
            // The series nongauss-clean writes, analysed as nongauss-scan
            // analyses that file (the unit by the rule on its first interval).
            clean::CleanSettings settings;
            settings.replace = options.replace;
            clean::Cleaned cleaned = clean::clean_file(options.input, settings);
            if (cleaned.outcome != clean::CleanOutcome::cleaned)
                throw Error(ErrorKind::input, cleaned.message);
            r.seconds = std::move(cleaned.seconds);
            r.flags = std::move(cleaned.flags);
            r.cleaned_written = cleaned.counts.written();
            r.cleaned_interpolated = cleaned.counts.interpolated;
            r.series.emplace(Series::from_intervals(std::move(cleaned.intervals)));
        } else {
            r.series.emplace(Series::read_file(options.input));
            r.seconds.resize(r.series->n_beats());
            for (std::size_t i = 0; i < r.seconds.size(); ++i)
                r.seconds[i] = r.series->intervals()[i] / r.series->unit_divisor();
            r.flags = options.detect ? detect_artefacts(r.seconds) : std::vector<IntervalFlag>(r.seconds.size());
        }
        const Series& series = *r.series;
        r.flag_tally = tally(r.seconds, r.flags);

        ScaleOptions plain;
        plain.densities = false;
        plain.model_density = false;
        plain.increments = options.bootstrap > 0;  // the bootstrap resamples them
        plain.pool = &pool;
        r.scales = analyse_scales(series, options.settings, options.scales, plain);
        if (options.bootstrap > 0) {
            BootstrapOptions b;
            b.replicates = options.bootstrap;
            b.seed = options.seed;
            b.pool = &pool;
            for (Result& x : r.scales) {
                r.spread.push_back(bootstrap_result(x, options.settings, b));
                std::vector<double>().swap(x.increments);
            }
        }
        ScaleOptions with_densities;
        with_densities.pool = &pool;
        r.densities = analyse_scales(series, options.settings, density_scales(options), with_densities);
        if (options.surrogates > 0) {
            SurrogateTestOptions test;
            test.count = options.surrogates;
            test.seed = options.seed;
            test.surrogates.kind = options.surrogate_kind;
            test.surrogates.pool = &pool;
            r.surrogates = surrogate_test(series, options.settings, options.scales, test);
        }
    } catch (const Error& e) {
        r.error = e;
    } catch (const std::bad_alloc&) {
        r.error = Error(ErrorKind::fatal, "allocation failure");
    }
    r.plain_warnings = plain_warnings(r, options);
    return r;
}

}  // namespace nongauss::report
