// The members that Orbit and Islet share, bound in their place of each class's sequence. `word`
// is the class's name in the docstrings ("orbit", "islet").
#pragma once

#include "python_types.h"

#include "gorvin/core/dimension_list.h"

#include <cstddef>
#include <string>

namespace gorvin::python {

// Iteration over a list's entries; the iterator holds the list's Python object.
template <class List> struct DimensionCursor {
    py::object owner;
    const List* list;
    std::size_t index;

    int operator*() const { return list->dims()[index]; }
    DimensionCursor& operator++() {
        ++index;
        return *this;
    }
};
struct DimensionEnd {};
template <class List> bool operator==(const DimensionCursor<List>& cursor, DimensionEnd) {
    return cursor.index >= cursor.list->size();
}

// __len__, size, __str__, __repr__, __eq__, __ne__; `open` starts the text form.
template <class List>
void bindDimensionListHead(py::class_<List>& cls, const std::string& word,
                           const std::string& open) {
    const std::string sizeDoc = "returns the size of the " + word;
    cls.def("__len__", &List::size, sizeDoc.c_str());
    cls.def("size", &List::size, sizeDoc.c_str());
    auto text = [open](const List& self) { return self.text(open); };
    const std::string textDoc = "returns a string representation of the " + word;
    cls.def("__str__", text, textDoc.c_str());
    cls.def("__repr__", text, textDoc.c_str());
    cls.def(
        "__eq__", [](const List& self, const List& other) { return self == other; },
        py::is_operator(), ("compare two " + word + "s for equality").c_str());
    cls.def(
        "__ne__", [](const List& self, const List& other) { return self != other; },
        py::is_operator(), ("compare two " + word + "s for inequality").c_str());
}

// __contains__, contains, __getitem__, __iter__.
template <class List>
void bindDimensionListTail(py::class_<List>& cls, const std::string& word,
                           const std::string& containsDoc) {
    cls.def("__contains__", &List::contains,
            ("check if the " + word + " contains a dimension").c_str());
    cls.def("contains", &List::contains, containsDoc.c_str());
    cls.def("__getitem__", &List::at, ("get the i-th dimension in the " + word).c_str());
    cls.def(
        "__iter__",
        [](py::object self) {
            const List* list = &self.cast<const List&>();
            return py::make_iterator(DimensionCursor<List>{std::move(self), list, 0},
                                     DimensionEnd{});
        },
        ("returns an iterator over dimension of the " + word).c_str());
}

} // namespace gorvin::python
