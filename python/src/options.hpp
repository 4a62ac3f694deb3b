#pragma once

// The keyword options of the Python functions, checked and turned into the
// library's settings. A bad value raises ValueError naming the option and
// what it takes; a value of the wrong type raises TypeError.

#include <pybind11/pybind11.h>

#include <optional>
#include <string>

#include "nongauss/series.hpp"
#include "nongauss/settings.hpp"

namespace nongauss::python {

/// unit="auto" (the tool's rule: milliseconds when the first interval
/// exceeds 100), "ms" or "s".
std::optional<Unit> unit_option(const std::string& unit);

/// The options of analyse() and scan(), as the tool's -s, -0/-1/-3, -t, -d,
/// -m, -q and -n. Numbers must be finite; the tool's limits then apply as
/// they do to its options (a scale below 2 s is 2 s, fewer than 10 bins are
/// 10, ...).
Settings analysis_settings(double scale, const std::string& resample, double dt,
                           pybind11::handle detrend, const std::string& fit, double q,
                           pybind11::handle bins);

/// A finite number, or ValueError "NAME must be a finite number, not VALUE".
double finite_option(double value, const char* name);

/// A Python integer (or NumPy integer; not a bool) in [lo, hi], or
/// TypeError / ValueError naming the option.
long long integer_option(pybind11::handle value, const char* name, long long lo, long long hi);

}  // namespace nongauss::python
