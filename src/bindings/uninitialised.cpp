// Instances made by __new__ alone (cls.__new__(cls)) hold no C++ value. pybind11 would hand the
// members an unconstructed block of memory for them; every class of the module refuses instead,
// so that any use of such an instance raises TypeError.
#include "registry.h"

#include <cstddef>

namespace gorvin::python {

namespace {

// pybind11 calls a type's operator_new only to make a value for an instance that has none.
[[noreturn]] void* refuse(std::size_t) {
    throw py::type_error("the object was never initialised: its __init__ did not run");
}

} // namespace

void refuseUninitialisedInstances(py::module_& m) {
    for (const auto& item : py::reinterpret_borrow<py::dict>(m.attr("__dict__"))) {
        if (!PyType_Check(item.second.ptr())) continue;
        auto* type = reinterpret_cast<PyTypeObject*>(item.second.ptr());
        if (auto* info = py::detail::get_type_info(type)) info->operator_new = &refuse;
    }
}

} // namespace gorvin::python
