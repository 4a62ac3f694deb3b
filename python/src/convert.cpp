#include "convert.hpp"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>

namespace py = pybind11;

namespace nongauss::python {

namespace {

// Element i of a one-dimensional array of T, wherever the array's strides put
// it (the memory may be unaligned, so the bytes are copied, not dereferenced).
template <class T>
void read_elements(const py::array& array, std::vector<double>& out) {
    const auto n = static_cast<std::size_t>(array.shape(0));
    const py::ssize_t stride = array.strides(0);
    const char* base = static_cast<const char*>(array.data());
    out.resize(n);
    if (stride == static_cast<py::ssize_t>(sizeof(T)) && std::is_same_v<T, double>) {
        if (n > 0) std::memcpy(out.data(), base, n * sizeof(double));
        return;
    }
    for (std::size_t i = 0; i < n; ++i) {
        T value;
        std::memcpy(&value, base + static_cast<py::ssize_t>(i) * stride, sizeof value);
        out[i] = static_cast<double>(value);
    }
}

template <class T>
bool read_if(const py::array& array, std::vector<double>& out) {
    // The same kind and size of element (int64 is long long is long here).
    if (!py::isinstance<py::array_t<T>>(array)) return false;
    read_elements<T>(array, out);
    return true;
}

// The native integer and floating types NumPy arrays hold; false for others.
bool read_native(const py::array& array, std::vector<double>& out) {
    return read_if<double>(array, out) || read_if<float>(array, out) ||
           read_if<long double>(array, out) || read_if<std::int64_t>(array, out) ||
           read_if<std::int32_t>(array, out) || read_if<std::int16_t>(array, out) ||
           read_if<std::int8_t>(array, out) || read_if<std::uint64_t>(array, out) ||
           read_if<std::uint32_t>(array, out) || read_if<std::uint16_t>(array, out) ||
           read_if<std::uint8_t>(array, out);
}

}  // namespace

std::vector<double> to_doubles(py::handle values, const char* name) {
    const py::module_ numpy = py::module_::import("numpy");
    py::array array = py::isinstance<py::array>(values)
                          ? py::reinterpret_borrow<py::array>(values)
                          : py::reinterpret_steal<py::array>(numpy.attr("asarray")(values).release());

    const char kind = array.dtype().kind();
    if (kind != 'f' && kind != 'i' && kind != 'u' && kind != 'O') {
        throw py::type_error(std::string(name) + " must hold real numbers, not " +
                             py::str(array.dtype()).cast<std::string>());
    }
    if (array.ndim() != 1) {
        throw py::value_error(std::string(name) + " must be one-dimensional, not " +
                              std::to_string(array.ndim()) + "-dimensional");
    }

    if (kind == 'O') {
        // NumPy would turn strings into numbers ("812" -> 812.0): an object
        // array of them is refused as an array of strings is.
        const auto n = static_cast<std::size_t>(array.shape(0));
        const py::list items = array.attr("tolist")();
        for (std::size_t i = 0; i < n; ++i) {
            const py::handle item = items[i];
            if (PyUnicode_Check(item.ptr()) || PyBytes_Check(item.ptr()) || PyByteArray_Check(item.ptr()))
                throw py::type_error(std::string(name) + " must hold real numbers, not " +
                                     py::type::handle_of(item).attr("__name__").cast<std::string>());
        }
    }
    std::vector<double> out;
    const bool native = array.dtype().attr("isnative").cast<bool>();
    if (kind != 'O' && native && read_native(array, out)) return out;
    // float16, byte-swapped or object arrays: NumPy converts them.
    py::array converted = array.attr("astype")(numpy.attr("float64"));
    read_elements<double>(converted, out);
    return out;
}

py::array_t<double> to_array(std::vector<double>&& values, bool writeable) {
    if (values.empty()) {
        py::array_t<double> empty(0);
        if (!writeable) empty.attr("flags").attr("writeable") = false;
        return empty;
    }
    auto owned = std::make_unique<std::vector<double>>(std::move(values));
    py::capsule owner(owned.get(), [](void* p) { delete static_cast<std::vector<double>*>(p); });
    std::vector<double>* vector = owned.release();
    py::array_t<double> array({static_cast<py::ssize_t>(vector->size())},
                              {static_cast<py::ssize_t>(sizeof(double))}, vector->data(), owner);
    if (!writeable) array.attr("flags").attr("writeable") = false;
    return array;
}

}  // namespace nongauss::python
