// Deferred slot values (patterns of the embedding table) as the companion makes them: a slot reads
// as a new dict, made on first read, holding one item under one key, or a row of a point block as a
// tuple of floats under one key, or copying a dict. Readers that only look inside the value read
// the pattern instead and make nothing.
#include "native.h"

#include <string>
#include <utility>

namespace gorvin::native {

namespace {

py::object dictOf(const py::object& key, const py::object& item) {
    py::dict dict;
    if (PyDict_SetItem(dict.ptr(), key.ptr(), item.ptr()) != 0) throw py::error_already_set();
    return std::move(dict);
}

} // namespace

py::object oneEntryDict(const Pattern& pattern) {
    return dictOf(pattern.key, pattern.item);
}

py::object pointRowDict(const Pattern& pattern) {
    return dictOf(pattern.key, blockTuple(pattern.item, pattern.index));
}

py::object pointBlock(std::vector<double>&& points) {
    const auto rows = static_cast<py::ssize_t>(points.size() / 3);
    py::list tuples(rows);
    for (py::ssize_t i = 0; i < rows; ++i)
        tuples[i] = py::none();
    return py::make_tuple(asArray(std::move(points), 3), std::move(tuples));
}

const double* blockPoint(const py::object& block, std::uint32_t row) {
    const auto points = py::reinterpret_borrow<py::array>(PyTuple_GET_ITEM(block.ptr(), 0));
    return static_cast<const double*>(points.data()) + 3 * std::size_t{row};
}

py::object blockTuple(const py::object& block, std::uint32_t row) {
    PyObject* tuples = PyTuple_GET_ITEM(block.ptr(), 1);
    PyObject* made = PyList_GET_ITEM(tuples, row);
    if (made != Py_None) return py::reinterpret_borrow<py::object>(made);
    py::object tuple = tupleOf(blockPoint(block, row), 3);
    PyList_SET_ITEM(tuples, row, tuple.inc_ref().ptr());
    Py_DECREF(made);
    return tuple;
}

py::object dictCopy(const Pattern& pattern) {
    return copiedDict(pattern.item);
}

py::object copiedDict(const py::object& dict) {
    PyObject* copy = PyDict_Copy(dict.ptr());
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
    return Pattern{std::move(key), std::move(item), 0, &oneEntryDict, slot, 0};
}

Pattern pointRowPattern(py::object key, py::object block, std::uint32_t row, unsigned slot) {
    return Pattern{std::move(key), std::move(block), row, &pointRowDict, slot, 0};
}

namespace {

bool sameKey(const py::object& key, const py::str& wanted) {
    return key.ptr() == wanted.ptr() ||
           (PyUnicode_CheckExact(key.ptr()) && PyUnicode_Compare(key.ptr(), wanted.ptr()) == 0);
}

} // namespace

std::optional<PatternItem> patternItem(GMap& gmap, DartID dart, unsigned slot, const py::str& key) {
    const auto& table = gmap.embeddings();
    const std::uint32_t p = table.deferred(dart, slot);
    if (p == kAbsent) return std::nullopt;
    const Pattern& pattern = table.pattern(p);
    if (pattern.make == &oneEntryDict || pattern.make == &pointRowDict) {
        if (!sameKey(pattern.key, key)) return PatternItem{};
        return PatternItem{pattern.item, pattern.index, pattern.make == &pointRowDict, p};
    }
    if (pattern.make == &dictCopy && PyDict_CheckExact(pattern.item.ptr())) {
        PyObject* item = PyDict_GetItemWithError(pattern.item.ptr(), key.ptr());
        if (!item && PyErr_Occurred()) throw py::error_already_set();
        return PatternItem{py::reinterpret_borrow<py::object>(item)};
    }
    return std::nullopt;
}

} // namespace gorvin::native
