// The companion's reads of deferred slots: what a dart's deferred slot holds under a key, read from
// its pattern without making the dart's value.
#include "native.h"

#include <string>

namespace gorvin::native {

py::str internedKey(const std::string& name) {
    PyObject* key = PyUnicode_FromStringAndSize(name.data(), static_cast<Py_ssize_t>(name.size()));
    if (!key) throw py::error_already_set();
    PyUnicode_InternInPlace(&key);
    return py::reinterpret_steal<py::str>(key);
}

namespace {

bool sameKey(const py::object& key, const py::str& wanted) {
    return key.ptr() == wanted.ptr() ||
           (PyUnicode_CheckExact(key.ptr()) && PyUnicode_Compare(key.ptr(), wanted.ptr()) == 0);
}

} // namespace

std::optional<PatternItem> patternItem(GMap& gmap, DartID dart, unsigned slot, const py::str& key) {
    Bulk bulk(gmap);
    const std::uint32_t p = bulk.deferredTo(dart, slot);
    if (p == kAbsent) return std::nullopt;
    const DeferredDict& value = bulk.pattern(p).value;
    if (value.kind == DeferredDict::Kind::copy) {
        if (!PyDict_CheckExact(value.item.ptr())) return std::nullopt;
        PyObject* item = PyDict_GetItemWithError(value.item.ptr(), key.ptr());
        if (!item && PyErr_Occurred()) throw py::error_already_set();
        return PatternItem{py::reinterpret_borrow<py::object>(item)};
    }
    if (!sameKey(value.key, key)) return PatternItem{};
    return PatternItem{value.item, value.block, value.row, p};
}

} // namespace gorvin::native
