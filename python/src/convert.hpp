#pragma once

// Between Python objects and the library's vectors.
//
// to_doubles reads a one-dimensional sequence of numbers into a vector of
// doubles in one pass: a NumPy array of any native integer or floating dtype,
// contiguous or strided, is read where it lies; anything else (a list, a
// pandas Series, a float16 or byte-swapped array) goes through numpy.asarray
// first. Booleans, complex numbers, strings and dates are refused
// (TypeError); an array of more than one dimension is refused (ValueError).
// Values are not checked: the library does that with its own messages.
//
// to_array hands a vector to NumPy without copying it: the array owns it.

#include <pybind11/numpy.h>

#include <vector>

namespace nongauss::python {

std::vector<double> to_doubles(pybind11::handle values, const char* name);

pybind11::array_t<double> to_array(std::vector<double>&& values, bool writeable = true);

}  // namespace nongauss::python
