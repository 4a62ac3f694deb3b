#include "report.hpp"

#include <pybind11/stl.h>

#include <charconv>
#include <cmath>
#include <string>
#include <vector>

#include "nongauss/thread_pool.hpp"
#include "nongauss/report.hpp"

namespace py = pybind11;
using namespace pybind11::literals;

namespace nongauss::python {

namespace {

std::string number_word(double value, const char* name) {
    if (!std::isfinite(value))
        throw py::value_error(std::string(name) + " must be a finite number, not " +
                              py::repr(py::float_(value)).cast<std::string>());
    char text[64];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, value);
    return std::string(text, end);
}

std::string scale_list(const py::object& scales, const char* name) {
    std::string list;
    for (const py::handle s : scales) list += (list.empty() ? "" : ",") + number_word(s.cast<double>(), name);
    if (list.empty()) throw py::value_error(std::string(name) + " must hold at least one scale");
    return list;
}

std::string path_bytes(const py::object& path) {
    return py::module_::import("os").attr("fsencode")(path).cast<std::string>();
}

}  // namespace

void define_report(py::module_& m, PyObject* warning) {
    m.def(
        "report",
        [warning](const py::object& path, const py::object& scales, const py::object& output,
                  const py::object& densities, const std::string& flags, int surrogates,
                  int bootstrap, const std::string& surrogate_kind, unsigned long long seed, const std::string& resample,
                  double dt, int detrend, const std::string& fit, double q, int bins, bool cohort,
                  const py::object& group) {
            // The arguments as nongauss-report's command line, read by its own
            // parser: one definition of every option, and the JSON's command
            // is the command that makes the same report.
            std::vector<std::string> args;
            if (cohort) {
                args.push_back("--cohort");
                if (!group.is_none()) args.insert(args.end(), {"--group", group.cast<std::string>()});
            } else {
                if (!scales.is_none()) args.insert(args.end(), {"-s", scale_list(scales, "scales")});
                if (!densities.is_none()) args.insert(args.end(), {"--densities", scale_list(densities, "densities")});
                if (flags == "clean") args.push_back("--clean");
                else if (flags == "replace") args.push_back("--replace");
                else if (flags == "none") args.push_back("--no-detect");
                else if (flags != "detect")
                    throw py::value_error("flags must be 'detect', 'clean', 'replace' or 'none', not '" + flags + "'");
                if (surrogates != 0)
                    args.insert(args.end(), {"--surrogates", std::to_string(surrogates), "--surrogate-kind",
                                             surrogate_kind});
                if (bootstrap != 0) args.insert(args.end(), {"--bootstrap", std::to_string(bootstrap)});
                if (surrogates != 0 || bootstrap != 0) args.insert(args.end(), {"--seed", std::to_string(seed)});
                if (resample == "linear") args.push_back("-1");
                else if (resample == "step") args.push_back("-0");
                else if (resample != "spline")
                    throw py::value_error("resample must be 'spline', 'linear' or 'step', not '" + resample + "'");
                if (fit != "normal" && fit != "svd")
                    throw py::value_error("fit must be 'normal' or 'svd', not '" + fit + "'");
                args.insert(args.end(), {"-t", number_word(dt, "dt"), "-d", std::to_string(detrend), "-m",
                                         fit == "svd" ? "2" : "1", "-q", number_word(q, "q"), "-n",
                                         std::to_string(bins)});
            }
            if (!output.is_none()) args.insert(args.end(), {"-o", path_bytes(output)});
            args.insert(args.end(), {"--", path_bytes(path)});

            report::ReportOptions options;
            std::string error;
            if (!report::parse_report_options(args, options, error)) throw py::value_error(error);
            std::string message;
            int status = 0;
            {
                py::gil_scoped_release unlocked;
                if (options.cohort) {
                    status = report::write_cohort_report(options, message);
                } else {
                    ThreadPool pool;
                    status = report::write_recording_report(options, pool, message);
                }
            }
            if (status == 1) throw py::value_error(message.empty() ? "no report written" : message);
            std::size_t start = 0;
            while (start < message.size()) {
                const std::size_t nl = message.find('\n', start);
                std::string line = message.substr(start, nl - start);
                if (line.rfind("Warning: ", 0) == 0) line.erase(0, 9);
                if (PyErr_WarnEx(warning, line.c_str(), 1) != 0) throw py::error_already_set();
                if (nl == std::string::npos) break;
                start = nl + 1;
            }
            return py::str(report::page_name(options));
        },
        R"(Writes nongauss-report's self-contained HTML report of the recording at `path`
and its numbers and settings as JSON beside it (the page's name with .json);
returns the page's name. The same code as the program: the figures are drawn
by gnuplot's svg terminal (gnuplot must be installed), the numbers are
nongauss-scan's, and the JSON's "command" makes the same report again.

scales: seconds (default 5, 10, 25, 50, 100, 250, 500); densities: up to
three of them (default the first, middle and last). output: the page
(default BASE_report.html beside the recording). flags: 'detect' (the
artefact detector, the recording analysed as read), 'clean' or 'replace'
(nongauss-clean's filters, the cleaned series analysed), 'none'.
surrogates, surrogate_kind ('iaaft' or 'phase'), seed: the floor and test;
bootstrap: replicates per scale of the block bootstrap (the sampling spread).
resample, dt, detrend, fit, q, bins: as for analyse(). cohort=True: `path`
is a cohort table (group: the column that colours the lines).

Raises ValueError for a bad option or when nothing could be written; warns
(AnalysisWarning) of doubtful input, of scales that could not be analysed
and of figures that could not be drawn (the report is written all the same).)",
        "path"_a, "scales"_a = py::none(), py::kw_only(), "output"_a = py::none(), "densities"_a = py::none(),
        "flags"_a = "detect", "surrogates"_a = 0, "bootstrap"_a = 0, "surrogate_kind"_a = "iaaft", "seed"_a = 1,
        "resample"_a = "spline", "dt"_a = 0.25, "detrend"_a = 3, "fit"_a = "normal", "q"_a = 0.25, "bins"_a = 100,
        "cohort"_a = false, "group"_a = py::none());
}

}  // namespace nongauss::python
