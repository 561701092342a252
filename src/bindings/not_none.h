// An argument of a class that refuses None with the binding layer's reference-cast error, a
// RuntimeError, at once: left to pybind11, None would move dispatch on to the next overload and
// end in a TypeError.
#pragma once

#include <pybind11/pybind11.h>

#include <string>

namespace gorvin::python {

namespace py = pybind11;

template <class T> struct NotNone {
    T* value = nullptr;

    operator T&() const { return *value; }
    T& operator*() const { return *value; }
    T* operator->() const { return value; }
};

} // namespace gorvin::python

namespace pybind11::detail {

template <class T> struct type_caster<gorvin::python::NotNone<T>> {
    PYBIND11_TYPE_CASTER(gorvin::python::NotNone<T>, make_caster<T>::name);

    bool load(handle source, bool convert) {
        if (source.is_none())
            throw cast_error(std::string(str(type::of<T>().attr("__name__"))) +
                             " expected, got None");
        make_caster<T> inner;
        if (!inner.load(source, convert)) return false;
        value.value = &cast_op<T&>(inner);
        return true;
    }
};

} // namespace pybind11::detail
