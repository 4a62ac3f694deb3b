#include "report/page.hpp"

#include <cmath>
#include <filesystem>

#include "nongauss/analysis.hpp"
#include "nongauss/formatted.hpp"
#include "nongauss/output_file.hpp"
#include "nongauss/version.hpp"
#include "report/figures.hpp"
#include "report/gnuplot.hpp"
#include "report/text.hpp"
#include "nongauss/scan.hpp"

namespace nongauss::report {

namespace {


std::string h(std::string_view text) { return html_escaped(text); }

std::string trimmed(std::string text) {
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

std::string duration_text(double seconds) {
    const long total = std::lround(seconds);
    return formatted("%ld h %02ld min %02ld s", total / 3600, (total / 60) % 60, total % 60) + " (" +
           shortest(seconds) + " s)";
}

const char* interpolation_name(Interpolation i) {
    switch (i) {
    case Interpolation::step: return "step function (-0)";
    case Interpolation::linear: return "linear (-1)";
    case Interpolation::spline: return "cubic spline (-3)";
    }
    return "?";
}

const char* kind_name(SurrogateKind k) { return k == SurrogateKind::iaaft ? "iaaft" : "phase"; }

// The plain-word meaning of each flag.
const char* flag_meaning(IntervalFlag f) {
    switch (f) {
    case IntervalFlag::kept: return "kept: a plausible interval";
    case IntervalFlag::not_normal: return "a beat that is not a normal beat";
    case IntervalFlag::across_event: return "an annotated event between the two beats";
    case IntervalFlag::out_of_range: return "outside the plausible range";
    case IntervalFlag::deviation: return "too far from its neighbours";
    case IntervalFlag::ectopic: return "a premature beat and its compensating pause";
    case IntervalFlag::missed: return "about twice its neighbours: a beat not detected";
    case IntervalFlag::extra: return "sums with its neighbour to one: a beat detected twice";
    case IntervalFlag::long_interval: return "too long (a gap or an unclassified artefact)";
    case IntervalFlag::short_interval: return "too short (an unclassified artefact)";
    }
    return "";
}

std::string percent(double v) { return formatted("%.2f %%", v); }

const char* const style =
    "body{font-family:'DejaVu Sans',Verdana,sans-serif;max-width:1040px;margin:1.5em auto;padding:0 1em;"
    "color:#222;line-height:1.45}h1{font-size:1.5em;word-break:break-all}h2{font-size:1.2em;border-bottom:1px solid "
    "#ccc;margin-top:1.8em}table{border-collapse:collapse;margin:.6em 0}td,th{border:1px solid #ccc;padding:.2em "
    ".6em;text-align:right}th{background:#f2f2f2}td.t,th.t{text-align:left}dl{display:grid;grid-template-columns:"
    "max-content auto;gap:.2em 1em}dt{font-weight:bold}dd{margin:0;word-break:break-all}figure{margin:.8em 0}"
    "figure svg{width:100%;height:auto;border:1px solid #eee}figcaption{font-size:.9em;color:#555}"
    ".warn li{margin:.3em 0}.none{color:#2a7a2a}code{font-size:.95em}.swatch{display:inline-block;width:1em;"
    "height:1em;vertical-align:middle;margin-right:.3em}.wide{overflow-x:auto}td.w{text-align:left;min-width:18em}"
    "td{font-variant-numeric:tabular-nums}";

std::string figure_html(const std::string& svg, const std::string& caption, const std::string& id,
                        const std::string& more = "") {
    std::string out = "<figure id=\"" + id + "\">";
    out += svg.empty() ? "<p>(no figure: see the warnings)</p>" : svg;
    return out + "<figcaption>" + caption + more + "</figcaption></figure>\n";
}

}  // namespace

std::string page_head(const std::string& title) {
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src 'unsafe-inline'; "
           "img-src data:\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>" +
           h(title) + "</title>\n<style>" + style + "</style>\n</head>\n<body>\n";
}

RecordingFigures draw_figures(const Recording& r, ThreadPool& pool) {
    RecordingFigures f;
    if (!r.series) return f;
    Figure figures[3];
    pool.parallel_parts(0, 3, 1, [&](int, long begin, long end) {
        for (long k = begin; k < end; ++k) {
            switch (k) {
            case 0: figures[0] = run_gnuplot(tachogram_script(r), "t"); break;
            case 1: figures[1] = run_gnuplot(lambda_script(r), "l"); break;
            default: figures[2] = run_gnuplot(density_script(r), "d"); break;
            }
        }
    });
    const char* const names[] = {"tachogram", "lambda against scale", "densities"};
    for (int k = 0; k < 3; ++k)
        if (!figures[k].error.empty()) f.errors += std::string("figure of the ") + names[k] + ": " + figures[k].error + "\n";
    f.tachogram = std::move(figures[0].svg);
    f.lambda = std::move(figures[1].svg);
    f.densities = std::move(figures[2].svg);
    return f;
}

std::string recording_page(const Recording& r, const ReportOptions& options, const RecordingFigures& figures,
                           const std::string& json_file) {
    const Settings s = with_limits(options.settings);
    std::string p = page_head("nongauss report: " + r.input);
    p += "<h1>Report of " + h(r.input) + "</h1>\n";

    // --- the input ---
    p += "<section id=\"input\"><h2>Input</h2><dl>\n<dt>File</dt><dd>" + h(r.input) + "</dd>\n";
    p += "<dt>SHA-256</dt><dd><code>" + (r.sha256.empty() ? std::string("(not read)") : r.sha256) + "</code></dd>\n";
    if (r.series) {
        p += "<dt>Unit</dt><dd>" + std::string(r.series->unit() == Unit::milliseconds ? "milliseconds" : "seconds") +
             " (decided by the first interval)</dd>\n";
        if (options.clean) p += "<dt>Beats read</dt><dd>" + std::to_string(r.seconds.size()) + "</dd>\n";
        p += std::string(options.clean ? "<dt>Beats analysed</dt>" : "<dt>Beats</dt>") + "<dd id=\"n_beats\">" +
             std::to_string(r.series->n_beats()) + "</dd>\n";
        p += "<dt>Duration</dt><dd id=\"duration\">" + duration_text(r.series->duration_s()) + "</dd>\n";
    }
    p += "</dl></section>\n";

    if (r.series) {
        // --- flags ---
        const FlagTally& t = r.flag_tally;
        p += "<section id=\"flags\"><h2>Flagged intervals</h2>\n";
        if (options.clean)
            p += "<p>Cleaned with nongauss-clean's filters (default settings: range 0.3-2 s, deviation from the "
                 "median of 41 beats above 20 %); the analysis below is of the cleaned series, " +
                 std::to_string(r.cleaned_written) + " intervals (flagged ones " +
                 (options.replace ? "replaced by interpolation, " + std::to_string(r.cleaned_interpolated) +
                                        " made)"
                                  : std::string("deleted)")) +
                 ", as nongauss-scan analyses the file nongauss-clean writes.</p>\n";
        else if (options.detect)
            p += "<p>Artefact detector: beat classification by successive differences against a time-varying "
                 "threshold (published defaults, threshold floor 12 % of the local median, runs). The analysis "
                 "below is of the recording as read; the flags show what a cleaning would take out.</p>\n";
        else
            p += "<p>No detector was run (--no-detect): every interval is analysed as read.</p>\n";
        p += "<table id=\"flag-kinds\"><tr><th class=\"t\">kind</th><th class=\"t\">meaning</th><th>intervals</th>"
             "<th>share of beats</th></tr>\n";
        const double beats = static_cast<double>(r.seconds.size());
        for (const IntervalFlag f : all_interval_flags) {
            const std::size_t count = t.by_kind[static_cast<std::size_t>(f)];
            if (count == 0 && f != IntervalFlag::kept) continue;
            p += "<tr><td class=\"t\">" + std::string(interval_flag_name(f)) + "</td><td class=\"t\">" +
                 flag_meaning(f) + "</td><td>" + std::to_string(count) + "</td><td>" +
                 percent(beats > 0 ? 100.0 * static_cast<double>(count) / beats : 0.0) + "</td></tr>\n";
        }
        p += "</table>\n<dl>\n<dt>Flagged</dt><dd id=\"flagged\">" + std::to_string(t.flagged) + " intervals, " +
             percent(t.beats_pct()) + " of the beats, " + percent(t.time_pct()) + " of the time</dd>\n";
        p += "<dt>Flagged time per hour</dt><dd>" + formatted("%.1f s", t.per_hour_s()) + "</dd>\n";
        p += "<dt>Longest flagged stretch</dt><dd>" +
             (t.longest_beats == 0 ? std::string("none")
                                   : formatted("%.1f s (%zu intervals), from %.3f h", t.longest_s, t.longest_beats,
                                               t.longest_start_s / 3600.0)) +
             "</dd>\n</dl>\n";
        p += figure_html(figures.tachogram,
                         formatted("The tachogram: the recording's time cut into %d columns, each drawn from its "
                                   "shortest to its longest interval; flagged stretches in red. Intervals beyond "
                                   "the vertical range (gaps) are drawn at its edge.",
                                   tachogram_columns),
                         "tachogram");
        p += "</section>\n";

        // --- lambda ---
        const bool with_surrogates = !r.surrogates.empty();
        p += "<section id=\"lambda\"><h2>λ against scale</h2>\n";
        p += figure_html(
            figures.lambda,
            with_surrogates
                ? formatted("λ of the recording at each scale, and of %d %s surrogates (seed %llu): their median "
                            "(the floor) and the central 95 %% of their values.",
                            options.surrogates,
                            options.surrogate_kind == SurrogateKind::iaaft ? "IAAFT" : "phase-randomised",
                            static_cast<unsigned long long>(options.seed))
                : std::string("λ of the recording at each scale (no surrogates: run with --surrogates N for the "
                              "floor and the p-values)."),
            "lambda-figure",
            r.spread.empty() ? std::string()
                             : formatted(" Error bars: the 95 %% interval of %d block-bootstrap replicates "
                                         "(blocks of 2 h, seed %llu), the sampling spread of λ within the recording.",
                                         options.bootstrap, static_cast<unsigned long long>(options.seed)));
        p += "<div class=\"wide\"><table id=\"scales\"><tr><th>scale (s)</th><th>scale (points)</th><th>SD (ms)</th><th>λ</th>"
             "<th>λ²</th><th>increments</th>";
        const bool with_spread = !r.spread.empty();
        if (with_spread) p += "<th>SE of λ</th><th>95 % interval</th>";
        if (with_surrogates) p += "<th>floor</th><th>surrogates, 2.5 %</th><th>97.5 %</th><th>p</th>";
        p += "</tr>\n";
        for (std::size_t k = 0; k < r.scales.size(); ++k) {
            const Result& x = r.scales[k];
            p += "<tr><td class=\"scale_s\">" + shortest(x.scale_s) + "</td><td class=\"scale_pt\">" +
                 std::to_string(x.scale_pt) + "</td>";
            if (x.error) {
                const int span = 4 + (with_surrogates ? 4 : 0) + (with_spread ? 2 : 0);
                p += "<td class=\"t\" colspan=\"" + std::to_string(span) + "\">no result: " +
                     h(trimmed(x.error->message())) + "</td></tr>\n";
                continue;
            }
            p += "<td class=\"sd_ms\">" + shortest(x.sd_ms) + "</td><td class=\"lambda\">" + shortest(x.lambda) +
                 "</td><td class=\"lambda_sq\">" + shortest(x.lambda_sq) + "</td><td class=\"n_increments\">" +
                 std::to_string(x.n_increments) + "</td>";
            if (with_spread) {
                const BootstrapScale& b = r.spread[k];
                p += "<td class=\"lambda_se\">" + shortest(b.lambda_se) + "</td><td>" + formatted("%.3f", b.lower) +
                     " – " + formatted("%.3f", b.upper) + "</td>";
            }
            if (with_surrogates) {
                const SurrogateScale& sg = r.surrogates[k];
                if (sg.error || sg.surrogate_lambda.empty()) {
                    p += "<td class=\"t\" colspan=\"4\">" +
                         h(sg.error ? trimmed(sg.error->message()) : std::string("no surrogates")) + "</td>";
                } else {
                    const auto [lo, hi] = central_range(sg.surrogate_lambda);
                    p += "<td class=\"floor\">" + shortest(sg.lambda_floor) + "</td><td>" + shortest(lo) +
                         "</td><td>" + shortest(hi) + "</td><td class=\"p\">" +
                         (std::isfinite(sg.p_surrogate) ? shortest(sg.p_surrogate) : std::string("–")) + "</td>";
                }
            }
            p += "</tr>\n";
        }
        p += "</table></div>\n<p>The numbers are those nongauss-scan prints for the same settings, digit for digit.</p>\n"
             "</section>\n";

        // --- densities ---
        p += "<section id=\"densities\"><h2>Densities of the standardised increments</h2>\n";
        p += figure_html(figures.densities,
                         "The density of the increments (in units of their SD) at each of these scales, on a "
                         "logarithmic axis so that the tails show: the recording's histogram (points), the model "
                         "with the recording's λ (red) and the standard normal (dashed). A heavier tail than the "
                         "normal's is what λ measures.",
                         "density-figure");
        p += "</section>\n";
    }

    // --- warnings ---
    p += "<section id=\"warnings\"><h2>Warnings</h2>\n";
    if (r.plain_warnings.empty() && figures.errors.empty()) {
        p += "<p class=\"none\">None.</p>\n";
    } else {
        p += "<ul class=\"warn\">\n";
        for (const std::string& w : r.plain_warnings) p += "<li>" + h(w) + "</li>\n";
        std::size_t start = 0;
        while (start < figures.errors.size()) {
            const std::size_t nl = figures.errors.find('\n', start);
            p += "<li>No " + h(figures.errors.substr(start, nl - start)) + "</li>\n";
            start = nl + 1;
        }
        p += "</ul>\n";
    }
    p += "</section>\n";

    // --- provenance ---
    p += "<section id=\"provenance\"><h2>Provenance</h2><dl>\n";
    p += "<dt>Program</dt><dd>nongauss-report " + std::string(version) + "</dd>\n";
    std::string command = "nongauss-report";
    for (const std::string& a : options.arguments) command += " " + a;
    p += "<dt>Command</dt><dd><code>" + h(command) + "</code></dd>\n";
    std::string scales;
    for (const double x : options.scales) scales += (scales.empty() ? "" : ", ") + shortest(x);
    std::string dscales;
    for (const double x : density_scales(options)) dscales += (dscales.empty() ? "" : ", ") + shortest(x);
    p += "<dt>Scales</dt><dd>" + scales + " s (densities at " + dscales + " s)</dd>\n";
    p += "<dt>Detrending</dt><dd>" +
         (s.degree > 0 ? "polynomial of degree " + std::to_string(s.degree) : std::string("none")) + ", fitted by " +
         (s.fit == FitMethod::svd ? "singular value decomposition" : "normal equations") + "</dd>\n";
    p += "<dt>Resampling</dt><dd>" + std::string(interpolation_name(s.interpolation)) + " every " + shortest(s.dt) +
         " s</dd>\n";
    p += "<dt>Moment order q</dt><dd>" + shortest(s.moment_order) + "</dd>\n";
    p += "<dt>Histogram bins</dt><dd>" + std::to_string(s.nbins) + "</dd>\n";
    p += "<dt>Flags</dt><dd>" +
         std::string(options.clean ? (options.replace ? "nongauss-clean's filters, flagged intervals replaced"
                                                      : "nongauss-clean's filters, flagged intervals deleted")
                                   : options.detect ? "artefact detector, default settings" : "none") +
         "</dd>\n";
    p += "<dt>Bootstrap</dt><dd>" +
         (options.bootstrap > 0 ? std::to_string(options.bootstrap) +
                                      " replicates per scale, blocks of 2 h, seed " + std::to_string(options.seed)
                                : std::string("none")) +
         "</dd>\n";
    p += "<dt>Surrogates</dt><dd>" +
         (options.surrogates > 0 ? std::to_string(options.surrogates) + " " + kind_name(options.surrogate_kind) +
                                       " per scale, seed " + std::to_string(options.seed)
                                 : std::string("none")) +
         "</dd>\n";
    p += "<dt>Numbers and settings</dt><dd><a href=\"" + h(link_to(json_file)) + "\">" + h(json_file) +
         "</a></dd>\n";
    p += "</dl></section>\n</body>\n</html>\n";
    return p;
}

std::string recording_json(const Recording& r, const ReportOptions& options) {
    const Settings s = with_limits(options.settings);
    std::string j = "{\n  \"program\": \"nongauss-report\",\n  \"version\": " + json_string(version) + ",\n";
    j += "  \"command\": [\"nongauss-report\"";
    for (const std::string& a : options.arguments) j += ", " + json_string(a);
    j += "],\n  \"input\": {\"file\": " + json_string(r.input) + ", \"sha256\": " +
         (r.sha256.empty() ? std::string("null") : json_string(r.sha256));
    if (r.series)
        j += ", \"unit\": " + std::string(r.series->unit() == Unit::milliseconds ? "\"ms\"" : "\"s\"") +
             ", \"n_beats\": " + std::to_string(r.series->n_beats()) + ", \"duration_s\": " +
             json_number(r.series->duration_s());
    j += "},\n  \"settings\": {\"scales\": [";
    for (std::size_t k = 0; k < options.scales.size(); ++k) j += (k ? ", " : "") + json_number(options.scales[k]);
    j += "], \"density_scales\": [";
    const std::vector<double> ds = density_scales(options);
    for (std::size_t k = 0; k < ds.size(); ++k) j += (k ? ", " : "") + json_number(ds[k]);
    j += "], \"degree\": " + std::to_string(s.degree) + ", \"fit\": " +
         (s.fit == FitMethod::svd ? "\"svd\"" : "\"normal-equations\"") + ", \"interpolation\": " +
         (s.interpolation == Interpolation::step ? "\"step\""
                                                 : s.interpolation == Interpolation::linear ? "\"linear\"" : "\"spline\"") +
         ", \"dt\": " + json_number(s.dt) + ", \"moment_order\": " + json_number(s.moment_order) +
         ", \"nbins\": " + std::to_string(s.nbins) + ", \"flags\": " + (options.clean ? (options.replace ? "\"clean-replace\"" : "\"clean\"")
                                             : options.detect ? "\"detector\"" : "\"none\"") +
         ", \"surrogates\": " + std::to_string(options.surrogates) + ", \"surrogate_kind\": \"" +
         kind_name(options.surrogate_kind) + "\", \"bootstrap\": " + std::to_string(options.bootstrap) + ", \"seed\": " + std::to_string(options.seed) + "},\n";
    if (r.series) {
        const FlagTally& t = r.flag_tally;
        j += "  \"flags\": {";
        for (const IntervalFlag f : all_interval_flags)
            j += "\"" + std::string(interval_flag_name(f)) + "\": " +
                 std::to_string(t.by_kind[static_cast<std::size_t>(f)]) + ", ";
        j += "\"flagged\": " + std::to_string(t.flagged) + ", \"beats_pct\": " + json_number(t.beats_pct()) +
             ", \"time_pct\": " + json_number(t.time_pct()) + ", \"flagged_s_per_hour\": " +
             json_number(t.per_hour_s()) + ", \"longest_s\": " + json_number(t.longest_s) +
             ", \"longest_beats\": " + std::to_string(t.longest_beats) + ", \"longest_start_s\": " +
             json_number(t.longest_start_s) + "},\n";
        j += "  \"scales\": [\n";
        for (std::size_t k = 0; k < r.scales.size(); ++k) {
            const Result& x = r.scales[k];
            j += "    {\"scale_s\": " + json_number(x.scale_s) + ", \"scale_pt\": " + std::to_string(x.scale_pt);
            if (x.error) {
                j += ", \"error\": " + json_string(trimmed(x.error->message()));
            } else {
                j += ", \"sd_ms\": " + json_number(x.sd_ms) + ", \"lambda\": " + json_number(x.lambda) +
                     ", \"lambda_sq\": " + json_number(x.lambda_sq) + ", \"n_increments\": " +
                     std::to_string(x.n_increments);
            }
            if (k < r.spread.size() && !x.error)
                j += ", \"lambda_se\": " + json_number(r.spread[k].lambda_se) + ", \"lambda_low\": " +
                     json_number(r.spread[k].lower) + ", \"lambda_high\": " + json_number(r.spread[k].upper);
            if (k < r.surrogates.size()) {
                const SurrogateScale& sg = r.surrogates[k];
                const auto [lo, hi] = central_range(sg.surrogate_lambda);
                j += ", \"lambda_floor\": " + json_number(sg.lambda_floor) + ", \"surrogates_low\": " +
                     json_number(lo) + ", \"surrogates_high\": " + json_number(hi) + ", \"p\": " +
                     json_number(sg.p_surrogate);
            }
            j += k + 1 < r.scales.size() ? "},\n" : "}\n";
        }
        j += "  ],\n";
    }
    if (r.error) j += "  \"error\": " + json_string(trimmed(r.error->message())) + ",\n";
    j += "  \"warnings\": [";
    for (std::size_t k = 0; k < r.plain_warnings.size(); ++k)
        j += std::string(k ? ",\n    " : "\n    ") + json_string(r.plain_warnings[k]);
    j += r.plain_warnings.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return j;
}

bool write_files(const std::string& page_file, const std::string& page, const std::string& json,
                 const std::vector<std::string>& inputs, std::string& message) {
    InputFiles protect;
    for (const std::string& i : inputs) protect.add(i);
    const std::string json_file = json_name(page_file);
    for (const std::string& name : {page_file, json_file}) {
        if (name == json_file && json.empty()) continue;
        if (protect.contains(name)) {
            message += "nongauss-report: " + name + " is one of the input files: nothing was written\n";
            return false;
        }
    }
    OutputFile page_out, json_out;
    if (!page_out.open(page_file) || !page_out.write(page) || !page_out.finish()) {
        message += "nongauss-report: cannot write " + page_file + ": " + page_out.error() + "\n";
        return false;
    }
    std::vector<OutputFile*> files{&page_out};
    if (!json.empty()) {
        if (!json_out.open(json_file) || !json_out.write(json) || !json_out.finish()) {
            message += "nongauss-report: cannot write " + json_file + ": " + json_out.error() + "\n";
            return false;
        }
        files.push_back(&json_out);
    }
    std::size_t failed = 0;
    if (!commit_together(files, failed)) {
        message += "nongauss-report: cannot write " + files[failed]->name() + ": " + files[failed]->error() + "\n";
        return false;
    }
    return true;
}

int write_recording_report(const ReportOptions& options, ThreadPool& pool, std::string& message) {
    const Recording r = analyse_recording(options, pool);
    const RecordingFigures figures = draw_figures(r, pool);
    const std::string page_file = page_name(options);
    const std::string json_file = json_name(page_file);
    std::string link = std::filesystem::path(json_file).filename().string();
    const std::string page = recording_page(r, options, figures, link);
    const std::string json = recording_json(r, options);
    if (r.series)
        for (const std::string& w : r.series->warnings()) message += "Warning: " + w + "\n";
    if (!figures.errors.empty()) {
        std::size_t start = 0;
        while (start < figures.errors.size()) {
            const std::size_t nl = figures.errors.find('\n', start);
            message += "nongauss-report: no " + figures.errors.substr(start, nl - start) + "\n";
            start = nl + 1;
        }
    }
    if (!write_files(page_file, page, json, {options.input}, message)) return 1;
    bool failed = r.error.has_value() || !figures.errors.empty();
    for (const Result& x : r.scales) {
        if (!x.error) continue;
        failed = true;
        message += "nongauss-report: " + options.input + " at the scale of " + shortest(x.scale_s) +
                   " s: no result (" + trimmed(x.error->message()) + ")\n";
    }
    if (r.error) message += "nongauss-report: " + trimmed(r.error->message()) + "\n";
    return failed ? 2 : 0;
}

}  // namespace nongauss::report
