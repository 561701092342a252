// Items of one embedding slot of many darts at once, as one column per key: the data that meshes
// carry per point or per cell, kept in that slot's dict of every dart of the point or cell.
// Reading makes no dart's own value: a deferred slot is read through its pattern.
#include "native.h"

#include <string>
#include <utility>
#include <vector>

namespace gorvin::native {

namespace {

unsigned checkedSlot(int slot) {
    if (slot < 0 || slot >= static_cast<int>(kSlots))
        throw py::value_error("slot " + std::to_string(slot) + " is not an embedding slot 0..15");
    return static_cast<unsigned>(slot);
}

std::string dartSlotText(DartID dart, unsigned slot) {
    return "dart " + std::to_string(dart) + ", slot " + std::to_string(slot);
}

// The (key, value) pairs the slot of a dart reads as, taken without making the dart's value. The
// references are taken before anything is allocated, so that code run by an allocation cannot
// change what is read.
py::list slotItems(GMap& gmap, DartID dart, unsigned slot) {
    if (dart >= gmap.size()) throw py::index_error("dart " + std::to_string(dart) + " is gone");
    Bulk bulk(gmap);
    py::object value;
    if (const std::uint32_t p = bulk.deferredTo(dart, slot); p != kAbsent) {
        const DeferredDict deferred = bulk.pattern(p).value;
        if (deferred.kind != DeferredDict::Kind::copy) {
            py::list pair(1);
            pair[0] = py::make_tuple(deferred.key, deferred.entryValue());
            return pair;
        }
        value = deferred.item;
    } else if (const py::object* stored = bulk.madeValue(dart, slot)) {
        value = *stored;
    } else {
        return py::list(); // not made yet: an empty dict
    }
    if (!PyDict_Check(value.ptr()))
        throw py::value_error(dartSlotText(dart, slot) + " holds a " +
                              std::string(Py_TYPE(value.ptr())->tp_name) + ", not a dict");
    return py::reinterpret_steal<py::list>(PyDict_Items(value.ptr()));
}

// {key: list}: for every key found in the slot of some dart, the value of each dart (None where
// its slot has no such key), keys in order of first appearance; keys in `skipped` are left out.
py::dict slotColumns(GMap& gmap, const Ids& ids, int slot, const py::set& skipped) {
    const unsigned k = checkedSlot(slot);
    const std::vector<DartID> darts = checkedIds(gmap, ids);
    py::dict columns;
    for (std::size_t i = 0; i < darts.size(); ++i) {
        for (const py::handle item : slotItems(gmap, darts[i], k)) {
            const py::handle key = PyTuple_GET_ITEM(item.ptr(), 0);
            if (skipped.contains(key)) continue;
            PyObject* column = PyDict_GetItemWithError(columns.ptr(), key.ptr());
            if (!column) {
                if (PyErr_Occurred()) throw py::error_already_set();
                py::list made(darts.size());
                for (std::size_t j = 0; j < darts.size(); ++j)
                    made[j] = py::none();
                columns[key] = made;
                column = made.ptr();
            }
            py::reinterpret_borrow<py::list>(column)[i] =
                py::reinterpret_borrow<py::object>(PyTuple_GET_ITEM(item.ptr(), 1));
        }
    }
    return columns;
}

// Stores columns[j][rows[i]] under keys[j] in the slot of darts[i], in place in its value (darts
// sharing that value see it too). Columns are tuples, so nothing can change them meanwhile.
void storeItems(GMap& gmap, const Ids& ids, int slot, const py::tuple& keys,
                const py::tuple& columns, const Ids& rows) {
    const unsigned k = checkedSlot(slot);
    const std::vector<DartID> darts = checkedIds(gmap, ids);
    if (keys.size() != columns.size())
        throw py::value_error("store_items: one column per key, got " +
                              std::to_string(keys.size()) + " keys and " +
                              std::to_string(columns.size()) + " columns");
    if (rows.ndim() != 1 || static_cast<std::size_t>(rows.shape(0)) != darts.size())
        throw py::value_error("store_items: rows must hold one row per dart, " +
                              std::to_string(darts.size()));
    std::size_t rowCount = 0;
    for (std::size_t j = 0; j < columns.size(); ++j) {
        if (!PyTuple_CheckExact(columns[j].ptr()))
            throw py::type_error("store_items: columns must be tuples");
        const std::size_t size = py::len(columns[j]);
        if (j > 0 && size != rowCount)
            throw py::value_error("store_items: columns of different lengths");
        rowCount = size;
    }
    const std::int64_t* row = rows.data();
    for (std::size_t i = 0; i < darts.size() && !keys.empty(); ++i)
        if (row[i] < 0 || static_cast<std::size_t>(row[i]) >= rowCount)
            throw py::index_error("store_items: row " + std::to_string(row[i]) +
                                  " is not a row of " + std::to_string(rowCount));
    for (std::size_t i = 0; i < darts.size() && !keys.empty(); ++i) {
        if (darts[i] >= gmap.size())
            throw py::index_error("dart " + std::to_string(darts[i]) + " is gone");
        const py::object value = Bulk(gmap).value(darts[i], k);
        for (std::size_t j = 0; j < keys.size(); ++j) {
            PyObject* item = PyTuple_GET_ITEM(columns[j].ptr(), row[i]);
            if (PyObject_SetItem(value.ptr(), keys[j].ptr(), item) != 0)
                throw py::error_already_set();
        }
    }
}

} // namespace

void bindSlotItems(py::module_& m) {
    m.def("slot_columns", &slotColumns, py::arg("gmap"), py::arg("darts"), py::arg("slot"),
          py::arg("skipped"),
          "{key: list}: the value under each key in the slot dict of each dart (None where it has "
          "none), keys in skipped left out; makes no dart's value.");
    m.def("store_items", &storeItems, py::arg("gmap"), py::arg("darts"), py::arg("slot"),
          py::arg("keys"), py::arg("columns"), py::arg("rows"),
          "Stores columns[j][rows[i]] under keys[j] in the slot value of darts[i].");
}

} // namespace gorvin::native
