#include "options.hpp"

#include <climits>
#include <cmath>

namespace py = pybind11;

namespace nongauss::python {

namespace {

std::string repr_of(py::handle value) { return py::repr(value).cast<std::string>(); }

std::string quoted(const std::string& text) { return repr_of(py::str(text)); }

// The choice `word` names, or ValueError "NAME must be 'a', 'b' or 'c', not WORD".
template <typename Choice, std::size_t N>
Choice choice_option(const ChoiceName<Choice> (&names)[N], const std::string& word, const char* name) {
    std::string listed;
    for (std::size_t i = 0; i < N; ++i) {
        if (word == names[i].name) return names[i].choice;
        listed += (i == 0 ? "" : (i + 1 == N ? " or " : ", ")) + quoted(names[i].name);
    }
    throw py::value_error(std::string(name) + " must be " + listed + ", not " + quoted(word));
}

}  // namespace

std::optional<Unit> unit_option(const std::string& unit) {
    if (unit == "auto") return std::nullopt;
    if (unit == "ms") return Unit::milliseconds;
    if (unit == "s") return Unit::seconds;
    throw py::value_error("unit must be 'auto', 'ms' or 's', not " + quoted(unit));
}

double finite_option(double value, const char* name) {
    if (!std::isfinite(value))
        throw py::value_error(std::string(name) + " must be a finite number, not " +
                              repr_of(py::float_(value)));
    return value;
}

long long integer_option(py::handle value, const char* name, long long lo, long long hi) {
    if (PyBool_Check(value.ptr()) || !PyIndex_Check(value.ptr()))
        throw py::type_error(std::string(name) + " must be an integer, not " +
                             repr_of(py::type::handle_of(value).attr("__name__")));
    const py::int_ integer = py::reinterpret_steal<py::int_>(PyNumber_Index(value.ptr()));
    if (!integer) throw py::error_already_set();
    int overflow = 0;
    const long long v = PyLong_AsLongLongAndOverflow(integer.ptr(), &overflow);
    if (v == -1 && PyErr_Occurred()) throw py::error_already_set();
    if (overflow != 0 || v < lo || v > hi)
        throw py::value_error(std::string(name) + " must be an integer from " + std::to_string(lo) +
                              " to " + std::to_string(hi) + ", not " + repr_of(integer));
    return v;
}

Settings analysis_settings(double scale, const std::string& resample, double dt,
                           py::handle detrend, const std::string& fit, double q, py::handle bins) {
    Settings settings;
    settings.scale = finite_option(scale, "scale");
    settings.dt = finite_option(dt, "dt");
    settings.moment_order = finite_option(q, "q");
    settings.degree = static_cast<int>(integer_option(detrend, "detrend", INT_MIN, INT_MAX));
    settings.nbins = static_cast<int>(integer_option(bins, "bins", INT_MIN, INT_MAX));

    settings.interpolation = choice_option(interpolation_names, resample, "resample");
    settings.fit = choice_option(fit_method_names, fit, "fit");
    return settings;
}

}  // namespace nongauss::python
