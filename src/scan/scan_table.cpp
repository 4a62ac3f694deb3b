#include <charconv>
#include <cstdio>
#include <new>
#include <optional>

#include "nongauss/analysis.hpp"
#include "nongauss/annotations.hpp"
#include "nongauss/bootstrap.hpp"
#include "nongauss/clean.hpp"
#include "nongauss/masked.hpp"
#include "nongauss/surrogates.hpp"
#include "nongauss/error.hpp"
#include "nongauss/output_file.hpp"
#include "nongauss/series.hpp"
#include "nongauss/formatted.hpp"
#include "nongauss/scan.hpp"
#include "nongauss/tables.hpp"
#include "nongauss/tsv_field.hpp"

namespace nongauss {

std::string scan_table_header(const ScanSettings& options) {
    std::string header = "file\tscale_s\tscale_pt\tsd_ms\tlambda\tlambda_sq\tn_increments\tn_beats\tduration_s\tunit";
    if (options.surrogates > 0) header += "\tlambda_floor\tp_surrogate";
    if (options.bootstrap > 0) header += "\tlambda_se\tlambda_lower\tlambda_upper";
    if (options.clean) header += "\twindows_used\twindows_left_out";
    return header + "\twarnings\n";
}

std::string shortest(double value) {
    char text[64];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, value);
    return ec == std::errc() ? std::string(text, end) : std::string("?");
}

std::string scan_table_row(const std::string& file, const Result& r, bool series_known, const ScanSettings& options,
                           const ScanExtras& extras) {
    const bool done = !r.error.has_value();
    std::string row = escaped_field(file);
    row += '\t' + shortest(r.scale_s);
    row += '\t' + std::to_string(r.scale_pt);
    row += '\t' + (done ? shortest(r.sd_ms) : "");
    row += '\t' + (done ? shortest(r.lambda) : "");
    row += '\t' + (done ? shortest(r.lambda_sq) : "");
    row += '\t' + (done ? std::to_string(r.n_increments) : "");
    row += '\t' + (series_known ? std::to_string(r.n_beats) : "");
    row += '\t' + (series_known ? shortest(r.duration_s) : "");
    row += '\t' + (series_known ? std::string(r.unit == Unit::milliseconds ? "ms" : "s") : "");
    const auto number = [&](double v) { return '\t' + (done && v == v ? shortest(v) : std::string()); };
    if (options.surrogates > 0) row += number(extras.lambda_floor) + number(extras.p_surrogate);
    if (options.bootstrap > 0)
        row += number(extras.lambda_se) + number(extras.lambda_lower) + number(extras.lambda_upper);
    if (options.clean)
        row += '\t' + (done ? std::to_string(r.windows_used) : "") + '\t' +
               (done ? std::to_string(r.windows_left_out) : "");
    std::string notes;
    for (const std::string& w : r.warnings) notes += (notes.empty() ? "" : "; ") + w;
    if (!done) {
        std::string message = r.error->message();
        while (!message.empty() && message.back() == '\n') message.pop_back();
        notes += (notes.empty() ? "" : "; ") + ("error: " + message);
    }
    row += '\t' + escaped_field(notes) + '\n';
    return row;
}

std::string pdf_name(const std::string& file, double scale_s) {
    // The base name nongauss gives its outputs, without its directories.
    const std::string base = derive_names(file).base_name;
    const std::size_t slash = base.find_last_of('/');
    return (slash == std::string::npos ? base : base.substr(slash + 1)) + "_" + shortest(scale_s) + "s_PDF.txt";
}

namespace {

// Writes a PDF table to DIR/NAME through a temporary file in DIR, renamed
// over NAME once complete (a link at NAME is replaced, not written through).
// Returns an error message, or "" when the file is in place.
std::string write_pdf(const std::string& dir, const std::string& name, const Result& r, double divisor,
                      ThreadPool& pool) {
    const std::string path = dir + "/" + name;
    OutputFile out;
    if (!out.open(path)) return "cannot write " + path + ": " + out.error();
    write_pdf_table(out.stream(), r.bin_centre.data(), r.p_exp.data(), r.p_model.data(),
                    static_cast<int>(r.bin_centre.size()), divisor, pool);
    if (!out.finish() || !out.commit()) return "cannot write " + path + ": " + out.error();
    return "";
}

}  // namespace

namespace {

// The flags of --clean: the cleaner's range and deviation filters with their
// defaults, on the intervals in their unit.
std::vector<IntervalFlag> cleaner_flags(const Series& series) {
    clean::CleanSettings settings;
    settings.unit = series.unit();
    clean::Cleaned cleaned = clean::clean_values(series.intervals(), settings);
    if (cleaned.outcome == clean::CleanOutcome::none_kept)
        throw Error(ErrorKind::input, "Every interval is flagged by the cleaner: nothing to analyse");
    return std::move(cleaned.flags);
}

// Rows of a file none of whose scales could be analysed.
std::string failed_rows(const std::string& file, const ScanSettings& options, const Error& error,
                        const Series* series) {
    std::string rows;
    for (const double scale : options.scales) {
        Result r = failed_scale(options.settings, scale, error);
        if (series != nullptr) {
            r.n_beats = series->n_beats();
            r.duration_s = series->duration_s();
            r.unit = series->unit();
            r.warnings = series->warnings();
        }
        rows += scan_table_row(file, r, series != nullptr, options);
    }
    return rows;
}

}  // namespace

std::string scan_file(const std::string& file, const ScanSettings& options, ThreadPool& pool, bool& failed) {
    failed = false;
    ScaleOptions scale_options;
    // The densities only for the PDF files.
    scale_options.densities = !options.pdf_dir.empty();
    scale_options.model_density = scale_options.densities;
    scale_options.pool = &pool;

    std::optional<Series> series;
    std::vector<std::string> notes;  // warnings of an annotation file, for every row
    // With --clean, what the selection of an annotation file leaves out: its
    // time stays on the axis and its windows are left out with the cleaner's.
    std::vector<IntervalFlag> selected;
    try {
        if (options.wfdb) {
            const AnnotationFile annotations = read_annotations(file);
            const IntervalSelection selection = select_intervals(annotations, options.all_beats);
            notes = annotations.warnings;
            const std::string untrusted = clean::untrusted_warning(clean::flagged_time(selection.intervals, selection.flags));
            if (!untrusted.empty()) notes.push_back(std::string(selection_name(options.all_beats)) + ": " + untrusted);
            if (options.clean) {
                series.emplace(Series::from_intervals(selection.intervals, Unit::seconds));
                selected = selection.flags;
            } else {
                series.emplace(Series::from_intervals(selection.kept_intervals(), Unit::seconds));
            }
        } else {
            series.emplace(Series::read_file(file));
        }
    } catch (const Error& e) {
        failed = true;
        return failed_rows(file, options, e, nullptr);
    } catch (const std::bad_alloc&) {
        failed = true;
        return failed_rows(file, options, Error(ErrorKind::fatal, "allocation failure"), nullptr);
    }

    // --clean: the artefacts flagged, filled, and their windows left out.
    std::vector<TimeStretch> masked;
    std::string clean_note;
    std::vector<Result> results;
    std::vector<ScanExtras> extras(options.scales.size());
    try {
        if (options.clean) {
            std::vector<IntervalFlag> flags = cleaner_flags(*series);
            for (std::size_t k = 0; k < selected.size() && k < flags.size(); ++k)
                if (selected[k] != IntervalFlag::kept) flags[k] = selected[k];
            FilledSeries filled = fill_flagged(*series, flags);
            masked = filled.masked;
            scale_options.masked = masked;
            if (filled.flagged > 0)
                clean_note = formatted("%zu intervals flagged in %zu stretches, filled by %zu", filled.flagged,
                                       filled.stretches, filled.filled);
            series.emplace(std::move(filled.series));
        }
        scale_options.increments = options.bootstrap > 0;
        results = analyse_scales(*series, options.settings, options.scales, scale_options);
        if (options.surrogates > 0) {
            SurrogateTestOptions test;
            test.count = options.surrogates;
            test.seed = options.seed;
            test.surrogates.kind = options.surrogate_kind;
            test.surrogates.pool = &pool;
            test.masked = masked;
            std::vector<SurrogateScale> floors;
            try {
                floors = surrogate_test(*series, options.settings, options.scales, test);
            } catch (const Error& e) {
                for (Result& r : results) r.warnings.push_back("no surrogate floor: " + e.message());
            }
            for (std::size_t i = 0; i < floors.size(); ++i) {
                extras[i].lambda_floor = floors[i].lambda_floor;
                extras[i].p_surrogate = floors[i].p_surrogate;
                if (floors[i].error && !results[i].error)
                    results[i].warnings.push_back("no surrogate floor: " + floors[i].error->message());
            }
        }
        if (options.bootstrap > 0) {
            BootstrapOptions b;
            b.replicates = options.bootstrap;
            b.seed = options.seed;
            b.pool = &pool;
            for (std::size_t i = 0; i < results.size(); ++i) {
                if (results[i].error) continue;
                const BootstrapScale spread = bootstrap_result(results[i], options.settings, b);
                extras[i].lambda_se = spread.lambda_se;
                extras[i].lambda_lower = spread.lower;
                extras[i].lambda_upper = spread.upper;
                std::vector<double>().swap(results[i].increments);
            }
        }
    } catch (const Error& e) {
        failed = true;
        return failed_rows(file, options, e, &*series);
    } catch (const std::bad_alloc&) {
        failed = true;
        return failed_rows(file, options, Error(ErrorKind::fatal, "allocation failure"), &*series);
    }

    const double divisor = with_limits(options.settings).pdf_divisor;
    std::string rows;
    for (std::size_t i = 0; i < results.size(); ++i) {
        Result& r = results[i];
        r.warnings.insert(r.warnings.end(), notes.begin(), notes.end());
        if (!r.error && !options.pdf_dir.empty() &&
            !pdf_table_in_range(r.p_exp.data(), r.p_model.data(), static_cast<int>(r.p_exp.size()), divisor))
            r.error = Error(ErrorKind::fatal, formatted("The densities divided by %g are out of range!", divisor));
        if (!r.error && !options.pdf_dir.empty()) {
            const std::string problem = write_pdf(options.pdf_dir, pdf_name(file, r.scale_s), r, divisor, pool);
            if (!problem.empty()) r.error = Error(ErrorKind::input, problem);
        }
        if (r.error) failed = true;
        if (!clean_note.empty()) r.warnings.insert(r.warnings.begin(), clean_note);
        rows += scan_table_row(file, r, true, options, extras[i]);
    }
    return rows;
}

}  // namespace nongauss
