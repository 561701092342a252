// Deferred slot values (patterns of the embedding table) as the companion makes them: a slot reads
// as a new dict, made on first read, holding one item under one key, or copying a dict. Readers
// that only look inside the value read the pattern instead and make nothing.
#include "native.h"

namespace gorvin::native {

py::object oneEntryDict(const py::object& key, const py::object& item) {
    py::dict dict;
    if (PyDict_SetItem(dict.ptr(), key.ptr(), item.ptr()) != 0) throw py::error_already_set();
    return std::move(dict);
}

py::object dictCopy(const py::object& /*key*/, const py::object& item) {
    PyObject* copy = PyDict_Copy(item.ptr());
    if (!copy) throw py::error_already_set();
    return py::reinterpret_steal<py::object>(copy);
}

py::str internedKey(const std::string& name) {
    PyObject* key = PyUnicode_FromStringAndSize(name.data(), static_cast<Py_ssize_t>(name.size()));
    if (!key) throw py::error_already_set();
    PyUnicode_InternInPlace(&key);
    return py::reinterpret_steal<py::str>(key);
}

Pattern oneEntryPattern(py::object key, py::object item, unsigned slot) {
    return Pattern{std::move(key), std::move(item), &oneEntryDict, slot, 0};
}

std::optional<PatternItem> patternItem(GMap& gmap, DartID dart, unsigned slot,
                                       const py::str& key) {
    const auto& table = gmap.embeddings();
    const std::uint32_t p = table.deferred(dart, slot);
    if (p == kAbsent) return std::nullopt;
    const Pattern& pattern = table.pattern(p);
    if (pattern.make == &oneEntryDict) {
        const bool same = pattern.key.ptr() == key.ptr() ||
                          (PyUnicode_CheckExact(pattern.key.ptr()) &&
                           PyUnicode_Compare(pattern.key.ptr(), key.ptr()) == 0);
        return PatternItem{p, same ? pattern.item : py::object()};
    }
    if (pattern.make == &dictCopy && PyDict_CheckExact(pattern.item.ptr())) {
        PyObject* item = PyDict_GetItemWithError(pattern.item.ptr(), key.ptr());
        if (!item && PyErr_Occurred()) throw py::error_already_set();
        return PatternItem{p, py::reinterpret_borrow<py::object>(item)};
    }
    return std::nullopt;
}

} // namespace gorvin::native
