#pragma once

// nongauss.report(): the report of nongauss-report, made by its own code.

#include <pybind11/pybind11.h>

namespace nongauss::python {

/// Defines report() in `module`; `warning` is the class of the warnings it
/// issues (AnalysisWarning).
void define_report(pybind11::module_& module, PyObject* warning);

}  // namespace nongauss::python
