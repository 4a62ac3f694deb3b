// The Python module: analyse, scan, read_rr, clean, synth, report and
// log_spaced_scales over the library.
//
// Every call converts its intervals once (convert.hpp), then releases the
// interpreter lock for the library's work, so that other Python threads run
// meanwhile and several analyses can run at once. Library errors become
// InputError (a ValueError) or AnalysisError (a RuntimeError) carrying the
// tool's message; a bad option is a ValueError, a value of the wrong type a
// TypeError. Problems the tool prints as warnings become Python warnings
// (AnalysisWarning) and stay in the result. Signals are seen between the
// stages of a call (InterruptibleTranscript), so Ctrl-C stops a long one.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "nongauss/synth.hpp"
#include "convert.hpp"
#include "nongauss/annotations.hpp"
#include "nongauss/clean.hpp"
#include "nongauss/nongauss.hpp"
#include "options.hpp"
#include "report.hpp"

namespace py = pybind11;
using namespace pybind11::literals;
using namespace nongauss;
using namespace nongauss::python;

namespace {

// The exception and warning types, made once at import and never freed (the
// interpreter may be gone when static objects are destroyed).
PyObject* input_error = nullptr;
PyObject* analysis_error = nullptr;
PyObject* analysis_warning = nullptr;

std::string without_final_newline(std::string text) {
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

// Text of the library as a Python string: a message may hold a file name in
// any bytes, which are shown as \xHH escapes where they are not UTF-8.
py::str text_of(const std::string& text) {
    PyObject* decoded = PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "backslashreplace");
    if (decoded == nullptr) throw py::error_already_set();
    return py::reinterpret_steal<py::str>(decoded);
}

void translate_error(const Error& error) {
    PyObject* type = error.kind() == ErrorKind::input ? input_error : analysis_error;
    py::object instance = py::reinterpret_borrow<py::object>(type)(text_of(without_final_newline(error.message())));
    // What the tool writes: the report, and the line after it that says what
    // reads the input, when there is one.
    const std::string hint = error.hint();
    instance.attr("report") = text_of(error.report() + (hint.empty() ? "" : hint + "\n"));
    instance.attr("hint") = text_of(hint);
    PyErr_SetObject(type, instance.ptr());
}

// A transcript that keeps nothing and, at each piece the library writes on
// the calling thread (between its stages, and between scales), lets Python
// run its signal handlers: Ctrl-C raises KeyboardInterrupt there, which ends
// the call at once (the library's threads are joined on the way out).
class InterruptibleTranscript final : public Transcript {
public:
    void write(std::string_view) override { check_signals(); }
    static void check_signals() {
        const py::gil_scoped_acquire locked;
        if (PyErr_CheckSignals() != 0) throw py::error_already_set();
    }
};

void warn(const std::string& message) {
    if (PyErr_WarnEx(analysis_warning, message.c_str(), 1) != 0) throw py::error_already_set();
}

void warn_each(const std::vector<std::string>& messages) {
    std::set<std::string> seen;
    for (const std::string& m : messages)
        if (seen.insert(m).second) warn(m);
}

std::string unit_name(Unit unit) { return unit == Unit::milliseconds ? "ms" : "s"; }

// What analyse() returns to Python.
struct PyResult {
    double scale_s = 0.0;
    long scale_pt = 0;
    std::size_t n_beats = 0;
    double duration_s = 0.0;
    std::string unit;
    double sd_ms = 0.0;
    double lambda = 0.0;
    double lambda_sq = 0.0;
    int n_increments = 0;
    long windows_used = 0;
    long windows_left_out = 0;
    std::vector<std::string> warnings;
    py::array increments, bin_centres, p_exp, p_model;
};

// flags=: one per interval, any true (non-zero) value flagged; None: none.
std::optional<std::vector<IntervalFlag>> flags_option(py::object flags, std::size_t n) {
    if (flags.is_none()) return std::nullopt;
    const std::vector<double> values = to_doubles(py::module_::import("numpy").attr("asarray")(flags, "dtype"_a = "float64"), "flags");
    if (values.size() != n)
        throw py::value_error("flags must have one value per interval (" + std::to_string(n) + "), not " +
                              std::to_string(values.size()));
    std::vector<IntervalFlag> out(n, IntervalFlag::kept);
    for (std::size_t i = 0; i < n; ++i)
        if (values[i] != 0.0) out[i] = IntervalFlag::deviation;
    return out;
}

PyResult to_python(Result&& r) {
    PyResult out;
    out.scale_s = r.scale_s;
    out.scale_pt = r.scale_pt;
    out.n_beats = r.n_beats;
    out.duration_s = r.duration_s;
    out.unit = unit_name(r.unit);
    out.sd_ms = r.sd_ms;
    out.lambda = r.lambda;
    out.lambda_sq = r.lambda_sq;
    out.n_increments = r.n_increments;
    out.windows_used = r.windows_used;
    out.windows_left_out = r.windows_left_out;
    out.warnings = std::move(r.warnings);
    out.increments = to_array(std::move(r.increments), false);
    out.bin_centres = to_array(std::move(r.bin_centre), false);
    out.p_exp = to_array(std::move(r.p_exp), false);
    out.p_model = to_array(std::move(r.p_model), false);
    return out;
}

std::string repr_result(const PyResult& r) {
    return "<nongauss.Result scale_s=" + py::repr(py::float_(r.scale_s)).cast<std::string>() +
           " sd_ms=" + py::repr(py::float_(r.sd_ms)).cast<std::string>() +
           " lambda_=" + py::repr(py::float_(r.lambda)).cast<std::string>() +
           " n_increments=" + std::to_string(r.n_increments) + ">";
}

PyResult analyse_py(py::object rr, double scale, const std::string& unit,
                    const std::string& resample, double dt, py::object detrend,
                    const std::string& fit, double q, py::object bins, py::object flags_in) {
    const Settings settings = analysis_settings(scale, resample, dt, detrend, fit, q, bins);
    const std::optional<Unit> chosen = unit_option(unit);
    std::vector<double> intervals = to_doubles(rr, "rr");
    const auto flags = flags_option(flags_in, intervals.size());
    Result result;
    {
        py::gil_scoped_release unlocked;
        Series series = Series::from_intervals(std::move(intervals), chosen);
        ThreadPool pool;
        ScaleOptions options;
        options.pool = &pool;
        options.increments = true;
        if (flags) {
            FilledSeries filled = fill_flagged(series, *flags);
            series = std::move(filled.series);
            options.masked = std::move(filled.masked);
        }
        InterruptibleTranscript interruptible;
        result = analyse(series, settings, interruptible, options);
    }
    PyResult out = to_python(std::move(result));
    warn_each(out.warnings);
    return out;
}

py::object scan_py(py::object rr, py::object scales_in, const std::string& unit,
                   const std::string& resample, double dt, py::object detrend,
                   const std::string& fit, double q, py::object bins, py::object flags_in,
                   py::object surrogates_in, const std::string& surrogate_kind, py::object seed_in,
                   py::object bootstrap_in) {
    const Settings settings = analysis_settings(Settings{}.scale, resample, dt, detrend, fit, q, bins);
    const std::optional<Unit> chosen = unit_option(unit);
    const std::vector<double> scales = to_doubles(scales_in, "scales");
    for (const double s : scales) finite_option(s, "every scale");
    std::vector<double> intervals = to_doubles(rr, "rr");
    const auto flags = flags_option(flags_in, intervals.size());
    const int surrogates = static_cast<int>(integer_option(surrogates_in, "surrogates", 0, 100000));
    const int bootstrap = static_cast<int>(integer_option(bootstrap_in, "bootstrap", 0, 1000000));
    if (surrogate_kind != "iaaft" && surrogate_kind != "phase")
        throw py::value_error("surrogate_kind must be 'iaaft' or 'phase', not '" + surrogate_kind + "'");
    const auto seed = static_cast<std::uint64_t>(integer_option(seed_in, "seed", 0, LLONG_MAX));
    std::vector<Result> results;
    std::vector<SurrogateScale> floors;
    std::vector<BootstrapScale> spreads;
    {
        py::gil_scoped_release unlocked;
        Series series = Series::from_intervals(std::move(intervals), chosen);
        ThreadPool pool;
        ScaleOptions options;
        options.pool = &pool;
        options.densities = false;  // the table has SD and lambda only
        options.increments = bootstrap > 0;
        if (flags) {
            FilledSeries filled = fill_flagged(series, *flags);
            series = std::move(filled.series);
            options.masked = std::move(filled.masked);
        }
        InterruptibleTranscript interruptible;
        results = analyse_scales(series, settings, scales, interruptible, options);
        if (surrogates > 0) {
            SurrogateTestOptions test;
            test.count = surrogates;
            test.seed = seed;
            test.surrogates.kind = surrogate_kind == "phase" ? SurrogateKind::phase_randomised : SurrogateKind::iaaft;
            test.surrogates.pool = &pool;
            test.masked = options.masked;
            floors = surrogate_test(series, settings, scales, test);
        }
        if (bootstrap > 0) {
            BootstrapOptions b;
            b.replicates = bootstrap;
            b.seed = seed;
            b.pool = &pool;
            for (const Result& r : results) spreads.push_back(bootstrap_result(r, settings, b));
        }
    }

    const auto n = static_cast<py::ssize_t>(results.size());
    py::array_t<double> scale_s(n), sd_ms(n), lambda(n), lambda_sq(n);
    py::array_t<std::int64_t> scale_pt(n), n_increments(n);
    py::list errors;
    std::vector<std::string> warnings;
    const double nan = std::nan("");
    for (py::ssize_t i = 0; i < n; ++i) {
        const Result& r = results[static_cast<std::size_t>(i)];
        scale_s.mutable_at(i) = r.scale_s;
        scale_pt.mutable_at(i) = r.scale_pt;
        sd_ms.mutable_at(i) = r.error ? nan : r.sd_ms;
        lambda.mutable_at(i) = r.error ? nan : r.lambda;
        lambda_sq.mutable_at(i) = r.error ? nan : r.lambda_sq;
        n_increments.mutable_at(i) = r.error ? 0 : r.n_increments;
        errors.append(r.error ? without_final_newline(r.error->message()) : std::string());
        warnings.insert(warnings.end(), r.warnings.begin(), r.warnings.end());
    }
    py::dict columns;
    columns["scale_s"] = scale_s;
    columns["scale_pt"] = scale_pt;
    columns["sd_ms"] = sd_ms;
    columns["lambda_"] = lambda;
    columns["lambda_sq"] = lambda_sq;
    columns["n_increments"] = n_increments;
    if (flags) {
        py::array_t<std::int64_t> used(n), left_out(n);
        for (py::ssize_t i = 0; i < n; ++i) {
            const Result& r = results[static_cast<std::size_t>(i)];
            used.mutable_at(i) = r.error ? 0 : r.windows_used;
            left_out.mutable_at(i) = r.error ? 0 : r.windows_left_out;
        }
        columns["windows_used"] = used;
        columns["windows_left_out"] = left_out;
    }
    if (surrogates > 0) {
        py::array_t<double> floor(n), p(n);
        for (py::ssize_t i = 0; i < n; ++i) {
            floor.mutable_at(i) = floors[static_cast<std::size_t>(i)].lambda_floor;
            p.mutable_at(i) = floors[static_cast<std::size_t>(i)].p_surrogate;
        }
        columns["lambda_floor"] = floor;
        columns["p_surrogate"] = p;
    }
    if (bootstrap > 0) {
        py::array_t<double> se(n), lower(n), upper(n);
        for (py::ssize_t i = 0; i < n; ++i) {
            const BootstrapScale& b = spreads[static_cast<std::size_t>(i)];
            se.mutable_at(i) = b.lambda_se;
            lower.mutable_at(i) = b.lower;
            upper.mutable_at(i) = b.upper;
        }
        columns["lambda_se"] = se;
        columns["lambda_lower"] = lower;
        columns["lambda_upper"] = upper;
    }
    columns["error"] = py::module_::import("numpy").attr("array")(errors, "dtype"_a = "object");
    warn_each(warnings);

    try {
        return py::module_::import("pandas").attr("DataFrame")(columns);
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_ImportError)) throw;
    }
    return columns;
}

// What read_annotations() returns to Python: every beat-to-beat interval of
// the file with its time, label and reason, and the selection's counts.
struct PyAnnotations {
    py::array rr, intervals, times, kept;
    std::vector<std::string> labels, reasons, warnings;
    std::string selection;
    double tick_hz = 0.0;
    std::size_t n_annotations = 0;
    py::dict by_label, by_reason;
};

PyAnnotations read_annotations_py(py::object path, bool all_beats) {
    const std::string name = py::module_::import("os").attr("fsencode")(path).cast<std::string>();
    if (name.find('\0') != std::string::npos) throw py::value_error("embedded null byte in path");
    AnnotationFile file;
    IntervalSelection selection;
    {
        py::gil_scoped_release unlocked;
        file = read_annotations(name);
        selection = select_intervals(file, all_beats);
    }
    PyAnnotations out;
    const std::size_t n = selection.intervals.size();
    out.rr = to_array(selection.kept_intervals());
    std::vector<double> times(n);
    py::array_t<bool> kept(static_cast<py::ssize_t>(n));
    for (std::size_t k = 0; k < n; ++k) {
        // Where the interval begins; the label is the beat that ends it.
        times[k] = static_cast<double>(selection.beat_samples[k]) / selection.tick_hz;
        kept.mutable_data()[k] = selection.flags[k] == IntervalFlag::kept;
        out.labels.emplace_back(file.label(selection.beat_codes[k + 1]));
        out.reasons.emplace_back(interval_flag_name(selection.flags[k]));
    }
    out.intervals = to_array(std::vector<double>(selection.intervals));
    out.times = to_array(std::move(times));
    out.kept = kept;
    out.warnings = file.warnings;
    out.selection = std::string(selection_name(all_beats));
    out.tick_hz = selection.tick_hz;
    out.n_annotations = file.annotations.size();
    for (std::size_t code = 0; code < selection.by_label.size(); ++code) {
        if (selection.by_label[code] == 0) continue;
        std::string label(file.label(static_cast<std::uint8_t>(code)));
        if (label.empty()) label = "code " + std::to_string(code);
        out.by_label[py::str(label)] = selection.by_label[code];
    }
    for (const IntervalFlag flag : all_interval_flags)
        if (selection.count(flag) > 0)
            out.by_reason[py::str(std::string(interval_flag_name(flag)))] = selection.count(flag);
    warn_each(file.warnings);
    return out;
}

py::array_t<double> read_rr_py(py::object path) {
    // Bytes as the file system takes them (str, bytes or a path object).
    const std::string name = py::module_::import("os").attr("fsencode")(path).cast<std::string>();
    if (name.find('\0') != std::string::npos) throw py::value_error("embedded null byte in path");
    std::vector<double> intervals;
    std::vector<std::string> warnings;
    {
        py::gil_scoped_release unlocked;
        const Series series = Series::read_file(name);
        intervals = series.intervals();
        // The warnings of the file itself (reading stopped early or cut short,
        // the file changed while it was read, a table of times and
        // intervals); those of the intervals (the unit, implausible
        // intervals) come once, from the analysis of them.
        const auto& all = series.warnings();
        warnings.assign(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(series.reading_warnings()));
    }
    warn_each(warnings);
    return to_array(std::move(intervals));
}

py::array_t<double> log_spaced_scales_py(double from, double to, py::object count) {
    finite_option(from, "from_s");
    finite_option(to, "to_s");
    const int n = static_cast<int>(integer_option(count, "count", 1, 1000000));
    if (!(from > 0) || !(to > 0)) throw py::value_error("the scales must be positive");
    return to_array(log_spaced_scales(from, to, n));
}

// What clean() returns to Python.
struct PyCleaned {
    py::array rr;
    py::array flags;
    std::string unit;
    std::size_t n_read = 0, n_range = 0, n_deviation = 0;
    std::size_t n_kept = 0, n_interpolated = 0, n_stretches = 0, n_unfilled = 0;
    double flagged_pct = 0.0, time_pct = 0.0;
};

PyCleaned clean_py(py::object rr, const std::string& unit, double min_s, double max_s,
                   py::object window, double deviation_pct, bool range_filter,
                   bool deviation_filter, bool replace, bool detector, bool median) {
    clean::CleanSettings options;
    options.unit = unit_option(unit);
    options.filter.range = range_filter;
    options.filter.min_s = finite_option(min_s, "min_s");
    options.filter.max_s = finite_option(max_s, "max_s");
    if (min_s < 0) throw py::value_error("min_s must be 0 or more");
    if (!(max_s > 0)) throw py::value_error("max_s must be positive");
    if (range_filter && !(min_s < max_s))
        throw py::value_error("the range is empty: min_s must be below max_s");
    options.filter.deviation = deviation_filter;
    if (detector && median) throw py::value_error("median and detector: one local filter (the detector is the default)");
    if (!deviation_filter && (detector || median))
        throw py::value_error("deviation_filter=False turns the local filter off: no median or detector");
    if (median) options.filter.local = clean::LocalFilter::median;
    if (detector) options.filter.local = clean::LocalFilter::detector;
    if (!window.is_none()) {
        if (options.filter.local != clean::LocalFilter::median)
            throw py::value_error("window is the median filter's window: add median=True");
        options.filter.window = static_cast<int>(integer_option(window, "window", 3, 100001));
        if (options.filter.window % 2 == 0) throw py::value_error("window must be odd");
    }
    if (!(finite_option(deviation_pct, "deviation_pct") > 0))
        throw py::value_error("deviation_pct must be positive");
    options.filter.fraction = deviation_pct / 100.0;
    options.replace = replace;

    std::vector<double> intervals = to_doubles(rr, "rr");
    for (std::size_t i = 0; i < intervals.size(); ++i)
        if (!std::isfinite(intervals[i]))
            throw Error(ErrorKind::input, "Invalid RR interval at row " + std::to_string(i + 1) +
                                              ": " + py::repr(py::float_(intervals[i])).cast<std::string>() +
                                              " (intervals must be finite)");
    clean::Cleaned out;
    {
        py::gil_scoped_release unlocked;
        out = clean::clean_values(intervals, options);
    }
    InterruptibleTranscript::check_signals();
    if (out.outcome != clean::CleanOutcome::cleaned) throw Error(ErrorKind::input, out.message);
    PyCleaned cleaned;
    cleaned.rr = to_array(std::move(out.intervals));
    // The codes of this call: 0 kept, 1 out of range, 2 deviation.
    py::array_t<std::uint8_t> flags(static_cast<py::ssize_t>(out.flags.size()));
    std::uint8_t* code = flags.mutable_data();
    for (const IntervalFlag flag : out.flags)
        *code++ = flag == IntervalFlag::kept ? 0 : flag == IntervalFlag::out_of_range ? 1 : 2;
    cleaned.flags = flags;
    cleaned.unit = out.unit == 1000.0 ? "ms" : "s";
    cleaned.n_read = out.read();
    cleaned.n_range = out.by_range;
    cleaned.n_deviation = out.by_deviation;
    cleaned.n_kept = out.counts.kept;
    cleaned.n_interpolated = out.counts.interpolated;
    cleaned.n_stretches = out.counts.stretches;
    cleaned.n_unfilled = out.counts.unfilled;
    cleaned.flagged_pct = out.flagged_pct();
    cleaned.time_pct = out.time_pct();
    return cleaned;
}

double in_range(double value, const char* name, const synth::Range& range) {
    if (!range.contains(value))
        throw py::value_error(std::string(name) + " wants " + range.wants + ", not " +
                              py::repr(py::float_(value)).cast<std::string>());
    return value;
}

py::array_t<double> synth_py(double hours, double lambda, py::object seed, double mean_ms,
                             double sd_ms, double block_s, const std::string& unit,
                             py::object decimals) {
    synth::Model model;
    model.hours = in_range(hours, "hours", synth::hours_range);
    model.lambda = in_range(lambda, "lambda_", synth::lambda_range);
    model.mean_ms = in_range(mean_ms, "mean_ms", synth::mean_range);
    model.sd_ms = in_range(sd_ms, "sd_ms", synth::sd_range);
    model.block_s = in_range(block_s, "block_s", synth::block_range);
    if (PyBool_Check(seed.ptr()) || !PyIndex_Check(seed.ptr()))
        throw py::type_error("seed must be an integer");
    const py::int_ seed_int = py::reinterpret_steal<py::int_>(PyNumber_Index(seed.ptr()));
    if (!seed_int) throw py::error_already_set();
    if (seed_int < py::int_(0) || seed_int > py::int_(UINT64_MAX))
        throw py::value_error("seed wants an integer from 0 to 18446744073709551615, not " +
                              py::repr(seed_int).cast<std::string>());
    model.seed = PyLong_AsUnsignedLongLong(seed_int.ptr());

    synth::Format format;
    if (unit == "s") format.seconds = true;
    else if (unit != "ms") throw py::value_error("unit must be 'ms' or 's', not " + py::repr(py::str(unit)).cast<std::string>());
    format.decimals = decimals.is_none() ? (format.seconds ? 3 : 0)
                                         : static_cast<int>(integer_option(decimals, "decimals", 0, synth::max_decimals));
    if (format.seconds && format.decimals == 0)
        throw py::value_error("unit 's' needs at least one decimal; whole seconds are no RR intervals");

    long clamped = 0;
    std::vector<double> intervals;
    {
        py::gil_scoped_release unlocked;
        const synth::Series series = synth::generate(model, format);
        clamped = series.clamped;
        intervals = synth::values(series, format);
    }
    if (clamped > 0) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "%ld intervals were clamped to %g..%g ms; the series departs from the model",
                      clamped, synth::min_interval_ms, synth::max_interval_ms);
        warn(text);
    }
    return to_array(std::move(intervals));
}

}  // namespace

PYBIND11_MODULE(_nongauss, m) {
    m.doc() = "Non-Gaussian analysis of heart-rate variability (the compiled core of nongauss).";
    m.attr("__version__") = nongauss::version;

    input_error = PyErr_NewExceptionWithDoc(
        "nongauss.InputError",
        "Unusable input: the message is the command-line tool's, e.g. \"No data was read!\".\n"
        "`report` holds the exact text the tool writes to standard error.",
        PyExc_ValueError, nullptr);
    analysis_error = PyErr_NewExceptionWithDoc(
        "nongauss.AnalysisError",
        "The analysis could not be completed: the message is the command-line tool's, e.g.\n"
        "\"The data length is not enough!\". `report` holds the exact text the tool writes to\n"
        "standard error.",
        PyExc_RuntimeError, nullptr);
    analysis_warning = PyErr_NewExceptionWithDoc(
        "nongauss.AnalysisWarning", "A problem the command-line tool reports as a warning.",
        PyExc_UserWarning, nullptr);
    if (!input_error || !analysis_error || !analysis_warning) throw py::error_already_set();
    m.attr("InputError") = py::reinterpret_borrow<py::object>(input_error);
    m.attr("AnalysisError") = py::reinterpret_borrow<py::object>(analysis_error);
    m.attr("AnalysisWarning") = py::reinterpret_borrow<py::object>(analysis_warning);
    nongauss::python::define_report(m, analysis_warning);
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) std::rethrow_exception(p);
        } catch (const Error& e) {
            translate_error(e);
        }
    });

    py::class_<PyResult>(m, "Result", "The analysis of a series at one scale.")
        .def_readonly("scale_s", &PyResult::scale_s, "The scale in seconds, after the limits (at least 2).")
        .def_readonly("scale_pt", &PyResult::scale_pt, "The scale in resampled points.")
        .def_readonly("n_beats", &PyResult::n_beats, "The number of intervals analysed.")
        .def_readonly("duration_s", &PyResult::duration_s, "Start of the first to start of the last interval, seconds.")
        .def_readonly("unit", &PyResult::unit, "The unit the intervals were taken in: 'ms' or 's'.")
        .def_readonly("sd_ms", &PyResult::sd_ms, "Standard deviation of the increments, milliseconds.")
        .def_readonly("lambda_", &PyResult::lambda, "Lambda, the non-Gaussianity (0 when lambda_sq is not positive).")
        .def_readonly("lambda_sq", &PyResult::lambda_sq, "The estimate of lambda squared, whatever its sign.")
        .def_readonly("n_increments", &PyResult::n_increments, "The number of increments.")
        .def_readonly("windows_used", &PyResult::windows_used,
                      "Increment windows analysed (detrending windows, or moving sums without detrending).")
        .def_readonly("windows_left_out", &PyResult::windows_left_out,
                      "Increment windows left out because they touch a flagged stretch (flags=).")
        .def_readonly("warnings", &PyResult::warnings, "Problems the tool reports as warnings.")
        .def_readonly("increments", &PyResult::increments, "The standardised increments (read-only array).")
        .def_readonly("bin_centres", &PyResult::bin_centres, "Histogram bin centres, in units of the SD.")
        .def_readonly("p_exp", &PyResult::p_exp, "Empirical density of the increments at the bin centres.")
        .def_readonly("p_model", &PyResult::p_model, "The model density with this lambda at the bin centres.")
        .def("__repr__", &repr_result);

    py::class_<PyAnnotations>(m, "Annotations", "The beat-to-beat intervals of an annotation file, chosen by label.")
        .def_readonly("rr", &PyAnnotations::rr, "The intervals the selection kept, seconds, in order.")
        .def_readonly("intervals", &PyAnnotations::intervals, "Every beat-to-beat interval, seconds.")
        .def_readonly("times", &PyAnnotations::times, "Where each interval begins: its first beat's time, seconds.")
        .def_readonly("labels", &PyAnnotations::labels, "The label of the beat that ends each interval.")
        .def_readonly("kept", &PyAnnotations::kept, "Whether the selection kept each interval.")
        .def_readonly("reasons", &PyAnnotations::reasons,
                      "Why each interval is left out: 'not-normal', 'across-event', or 'kept'.")
        .def_readonly("selection", &PyAnnotations::selection, "'normal-to-normal' or 'all beats'.")
        .def_readonly("tick_hz", &PyAnnotations::tick_hz, "Ticks per second of the annotations' times.")
        .def_readonly("n_annotations", &PyAnnotations::n_annotations)
        .def_readonly("by_label", &PyAnnotations::by_label, "Annotations of the file by label.")
        .def_readonly("by_reason", &PyAnnotations::by_reason, "Intervals by reason.")
        .def_readonly("warnings", &PyAnnotations::warnings, "Doubts about the file (also issued as warnings).")
        .def("frame", [](const PyAnnotations& a) {
            py::dict columns;
            columns["time_s"] = a.times;
            columns["interval_s"] = a.intervals;
            columns["label"] = a.labels;
            columns["reason"] = a.reasons;
            columns["kept"] = a.kept;
            return py::module_::import("pandas").attr("DataFrame")(columns);
        }, "The intervals as a pandas DataFrame (time_s, interval_s, label, reason, kept); needs pandas.")
        .def("__repr__", [](const PyAnnotations& a) {
            return "<nongauss.Annotations " + a.selection + " n_intervals=" + std::to_string(a.labels.size()) +
                   " n_kept=" + std::to_string(py::len(a.rr)) + ">";
        });

    py::class_<PyCleaned>(m, "Cleaned", "A series cleaned of implausible intervals.")
        .def_readonly("rr", &PyCleaned::rr, "The cleaned intervals, in the unit of the input.")
        .def_readonly("flags", &PyCleaned::flags, "Per input interval: 0 kept, 1 out of range, 2 flagged by the local filter (deviation from the median, or the detector).")
        .def_readonly("unit", &PyCleaned::unit, "The unit the intervals were taken in: 'ms' or 's'.")
        .def_readonly("n_read", &PyCleaned::n_read)
        .def_readonly("n_range", &PyCleaned::n_range, "Intervals flagged by the range filter.")
        .def_readonly("n_deviation", &PyCleaned::n_deviation, "Intervals flagged by the local deviation filter.")
        .def_readonly("n_kept", &PyCleaned::n_kept)
        .def_readonly("n_interpolated", &PyCleaned::n_interpolated, "Intervals made by replacement.")
        .def_readonly("n_stretches", &PyCleaned::n_stretches, "Stretches of flagged intervals replaced.")
        .def_readonly("n_unfilled", &PyCleaned::n_unfilled, "Flagged intervals deleted in replace mode (no time to fill).")
        .def_readonly("flagged_pct", &PyCleaned::flagged_pct, "Flagged intervals, percent of those read.")
        .def_readonly("time_pct", &PyCleaned::time_pct, "Flagged time, percent of the recording's time.")
        .def("__repr__", [](const PyCleaned& c) {
            return "<nongauss.Cleaned n_read=" + std::to_string(c.n_read) +
                   " n_range=" + std::to_string(c.n_range) +
                   " n_deviation=" + std::to_string(c.n_deviation) +
                   " n_written=" + std::to_string(c.n_kept + c.n_interpolated) + ">";
        });

    const char* analyse_doc = R"(Analyses a series of RR intervals at one scale, as the command-line tool does.

rr: the intervals, any one-dimensional sequence of real numbers (list, NumPy
    array of any float or integer dtype, strided or not, pandas Series).
scale: coarse-graining scale in seconds (-s); below 2 it is 2.
unit: 'auto' (milliseconds when the first interval exceeds 100), 'ms' or 's'.
resample: 'spline' (-3), 'linear' (-1) or 'step' (-0).
dt: resampling interval in seconds (-t); below 0.01 it is 0.01.
detrend: degree of the detrending polynomial (-d); 0 or less: none.
fit: 'normal' (normal equations, -m 1) or 'svd' (-m 2).
q: order of the absolute moment (-q); 0: the logarithmic moment.
bins: histogram bins (-n); below 10 it is 10.
flags: None, or one value per interval, true (non-zero) for an artefact:
  each stretch of flagged intervals is filled (the time axis stays whole)
  and every increment window that touches it is left out (windows_used,
  windows_left_out say how many); all false gives the numbers without flags.

Returns a Result; sd_ms and lambda_ are the very doubles the tool's summary
line formats. Raises InputError (a ValueError) for unusable intervals (none,
NaN, infinite, not positive), AnalysisError (a RuntimeError) when the analysis
cannot be completed (e.g. "The data length is not enough!"), ValueError for a
bad option. The interpreter lock is released while the analysis runs; Ctrl-C
(a signal handler's exception) ends it between its stages.)";
    // The defaults of the options are the tool's (Settings).
    const Settings defaults;
    const char* const resample_default = name_of(interpolation_names, defaults.interpolation);
    const char* const fit_default = name_of(fit_method_names, defaults.fit);
    m.def("analyse", &analyse_py, analyse_doc, "rr"_a, "scale"_a = defaults.scale, py::kw_only(),
          "unit"_a = "auto", "resample"_a = resample_default, "dt"_a = defaults.dt,
          "detrend"_a = defaults.degree, "fit"_a = fit_default, "q"_a = defaults.moment_order,
          "bins"_a = defaults.nbins, "flags"_a = py::none());

    const char* scan_doc = R"(Analyses a series at several scales (seconds), from one resampling.

Options as for analyse(). Returns a pandas DataFrame when pandas can be
imported, otherwise a dict of NumPy columns: scale_s, scale_pt, sd_ms,
lambda_, lambda_sq, n_increments, error. Each row is, double for double,
analyse() at that scale. A scale that cannot be analysed (e.g. longer than
half the series with detrending) has NaN in sd_ms, lambda_ and lambda_sq and
the tool's message in error; the others have ''. Errors of the whole series
raise as in analyse(). Ctrl-C ends it between scales.

flags: as for analyse(); adds columns windows_used and windows_left_out.
surrogates: N > 0 adds lambda_floor (the median lambda of N surrogates
  analysed as the series is) and p_surrogate ((1 + the number at or above the
  series' lambda) / (N + 1)). surrogate_kind 'iaaft' (the intervals
  reordered, spectrum and distribution kept: the test rejects a linear
  process with both, no particular physiology) or 'phase' (Gaussian with the
  spectrum: a floor, not a test; p_surrogate NaN).
bootstrap: B > 0 adds lambda_se, lambda_lower, lambda_upper (B replicates of
  a circular block bootstrap of 2-hour blocks of whole windows; the 95 %
  percentile interval): the spread within one recording, which understates
  the spread between two recordings of the same subject.
seed: of the surrogates and the bootstrap; the same seed gives the same
  numbers on any number of threads.)";
    m.def("scan", &scan_py, scan_doc, "rr"_a, "scales"_a, py::kw_only(), "unit"_a = "auto",
          "resample"_a = resample_default, "dt"_a = defaults.dt, "detrend"_a = defaults.degree,
          "fit"_a = fit_default, "q"_a = defaults.moment_order, "bins"_a = defaults.nbins,
          "flags"_a = py::none(), "surrogates"_a = 0, "surrogate_kind"_a = "iaaft", "seed"_a = 1,
          "bootstrap"_a = 0);

    m.def("read_annotations", &read_annotations_py, R"(Reads a beat annotation file RECORD.ANNOTATOR with its header RECORD.hea beside it.

By default the normal-to-normal intervals are kept (both beats normal, no
rhythm, noise or artefact annotation between them); all_beats=True keeps
every beat-to-beat interval. Intervals are in seconds, exact to the tick.
Returns an Annotations: .rr the kept intervals, .intervals, .times, .labels
and .reasons for every interval, .frame() as a pandas DataFrame. Raises
InputError naming the file (and the byte offset) for a file that cannot be
read.)",
          "path"_a, py::kw_only(), "all_beats"_a = false);

    m.def("read_rr", &read_rr_py, R"(Reads RR intervals from a text file exactly as the tool reads them.

path: a str, bytes or os.PathLike (any bytes the file system takes).
Returns the intervals in the file's own unit as a float64 array. Raises
InputError (a ValueError) with the tool's message: "File NAME not found!",
"Error while reading input file NAME!", "No data was read!", or an invalid
interval; its `report` is what the tool writes, with the "Hint: " line that
names what reads a header or a table of times and intervals, also in `hint`.
Warns (AnalysisWarning) of what concerns the file: reading stopped early or
cut short for want of memory, the file changed while it was read, a table of
times and intervals. Warnings about the intervals themselves (the unit, gaps)
come from analyse() and scan(), once.)",
          "path"_a);

    m.def("log_spaced_scales", &log_spaced_scales_py,
          "count scales from from_s to to_s evenly spaced on a logarithmic axis, the ends exact and\n"
          "every scale a finite number (also for ends as far apart as 1e-300 and 1e300).",
          "from_s"_a, "to_s"_a, "count"_a);

    m.def("clean", &clean_py, R"(Flags implausible intervals and removes or replaces them, as nongauss-clean.

The range filter flags intervals outside [min_s, max_s] seconds; among the
others the artefact detector flags ectopic, missed, extra, long and short
beats and runs of them (from successive differences against a time-varying
threshold, deviation_pct percent of the local median at least). median=True
puts the median filter in its place: an interval that differs from the
median of the window - 1 (default 41 - 1) intervals around it by more than
deviation_pct percent of that median; window is refused without it.
detector=True names the default. Flagged intervals are deleted, or with replace=True replaced by
intervals interpolated between the kept neighbours that fill the same time.
The result is what nongauss-clean writes for a file holding rr one value per
line (in its shortest exact form): kept intervals are unchanged.
The local filter's flags are code 2.
Returns a Cleaned: .rr is the cleaned series, .flags one code per input
interval. Raises InputError for no intervals, a value that is not finite,
or when every interval is flagged ("No interval was kept!"). Ctrl-C is
seen when it returns.)",
          "rr"_a, py::kw_only(), "unit"_a = "auto", "min_s"_a = 0.3, "max_s"_a = 2.0,
          "window"_a = py::none(), "deviation_pct"_a = 20.0, "range_filter"_a = true,
          "deviation_filter"_a = true, "replace"_a = false, "detector"_a = false, "median"_a = false);

    m.def("synth", &synth_py, R"(A synthetic RR series whose non-Gaussianity lambda is known, as nongauss-synth.

Returns the intervals as the values nongauss-synth writes (milliseconds with
0 decimals by default, or seconds with 3). The same arguments give the same
series on every platform.)",
          "hours"_a = 24.0, "lambda_"_a = 0.4, "seed"_a = 1, py::kw_only(), "mean_ms"_a = 800.0,
          "sd_ms"_a = 40.0, "block_s"_a = 600.0, "unit"_a = "ms", "decimals"_a = py::none());
}
