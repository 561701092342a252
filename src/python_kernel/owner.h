// Ties between results and the Python objects they refer into: a G-map handed out by a modeler, a
// raw dart by a dart object, an iterator by its container and a node view by its rule hold the
// owner's Python object itself, not only the C++ object behind it.
#pragma once

#include <pybind11/pybind11.h>

#include <memory>
#include <utility>

namespace gorvin::python {

namespace py = pybind11;

// `target`, holding `owner` as long as any copy of the result lives.
template <class T> std::shared_ptr<T> tiedTo(py::object owner, std::shared_ptr<T> target) {
    struct Tie {
        py::object owner;
        std::shared_ptr<T> target;
    };
    T* pointer = target.get();
    return std::shared_ptr<T>(std::make_shared<Tie>(Tie{std::move(owner), std::move(target)}),
                              pointer);
}

// An argument taken with its Python object, for results that refer into it. It converts like a
// T and shows as one in signatures.
template <class T> struct Owner {
    py::object object;
    T* value = nullptr;

    T& operator*() const { return *value; }
    T* operator->() const { return value; }
    // For a class held by std::shared_ptr: the object's holder, and that holder tied to the
    // object.
    std::shared_ptr<T> holder() const { return object.cast<std::shared_ptr<T>>(); }
    std::shared_ptr<T> held() const { return tiedTo(object, holder()); }
};

} // namespace gorvin::python

namespace pybind11::detail {

template <class T> struct type_caster<gorvin::python::Owner<T>> {
    PYBIND11_TYPE_CASTER(gorvin::python::Owner<T>, make_caster<T>::name);

    bool load(handle source, bool convert) {
        make_caster<T> inner;
        if (!inner.load(source, convert)) return false;
        value.value = &cast_op<T&>(inner);
        value.object = reinterpret_borrow<object>(source);
        return true;
    }
};

} // namespace pybind11::detail
