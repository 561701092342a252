// The companion module's shared pieces: the kernel as gorvinpy_bin instantiates it, dart id arrays
// checked against a G-map, and vectors handed to NumPy without a copy.
#pragma once

#include "python_types.h"

#include <pybind11/numpy.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace gorvin::native {

namespace py = pybind11;
using python::GMap;

// Id arrays arrive as C-ordered int64, whatever integer type the caller used.
constexpr int kIdArray = py::array::c_style | py::array::forcecast;
using Ids = py::array_t<std::int64_t, kIdArray>;

// The ids of a one-dimensional array; IndexError naming the first one that is no slot of gmap.
std::vector<DartID> checkedIds(const GMap& gmap, const Ids& ids);

// A NumPy array that takes over the vector's memory.
template <class T> py::array_t<T> asArray(std::vector<T>&& values) {
    auto* owned = new std::vector<T>(std::move(values));
    py::capsule free(owned, [](void* p) { delete static_cast<std::vector<T>*>(p); });
    return py::array_t<T>(static_cast<py::ssize_t>(owned->size()), owned->data(), free);
}

void bindBulk(py::module_& m);
void bindPositions(py::module_& m);
void bindStorage(py::module_& m);

} // namespace gorvin::native
