// Positions of many darts at once: a tuple of three floats under "position" in the <1,2,3> slot
// of each dart, read into and written from (n, 3) float64 arrays.
#include "native.h"

#include <algorithm>
#include <optional>
#include <string>

namespace gorvin::native {

namespace {

std::string dartText(DartID dart) {
    return "dart " + std::to_string(dart);
}

} // namespace

const py::str& positionKey() {
    static const py::str* const key = new py::str(internedKey(kPosition)); // kept for good
    return *key;
}

void readPoint(const py::handle& value, DartID dart, double* out) {
    if (PyTuple_CheckExact(value.ptr()) && PyTuple_GET_SIZE(value.ptr()) == 3) {
        PyObject** items = &PyTuple_GET_ITEM(value.ptr(), 0);
        if (PyFloat_CheckExact(items[0]) && PyFloat_CheckExact(items[1]) &&
            PyFloat_CheckExact(items[2])) {
            for (int axis = 0; axis < 3; ++axis)
                out[axis] = PyFloat_AS_DOUBLE(items[axis]);
            return;
        }
    }
    if (!py::isinstance<py::sequence>(value) || py::len(value) != 3)
        throw py::value_error(dartText(dart) + " has position " +
                              py::repr(value).cast<std::string>() + ", not three numbers");
    const auto point = py::reinterpret_borrow<py::sequence>(value);
    for (int axis = 0; axis < 3; ++axis)
        out[axis] = point[axis].cast<double>();
}

py::object storedPosition(GMap& gmap, DartID dart) {
    if (dart >= gmap.size()) throw py::index_error(dartText(dart) + " is gone");
    const py::str& key = positionKey();
    if (const auto deferred = patternItem(gmap, dart, kVertexSlot, key)) {
        if (deferred->holds()) return deferred->object();
        throw py::key_error(dartText(dart) + " has no 'position'");
    }
    const py::object slot = Bulk(gmap).value(dart, kVertexSlot);
    if (PyDict_CheckExact(slot.ptr())) {
        PyObject* value = PyDict_GetItemWithError(slot.ptr(), key.ptr());
        if (value) return py::reinterpret_borrow<py::object>(value);
        if (PyErr_Occurred()) throw py::error_already_set();
    } else if (slot.contains(key)) {
        return slot[key];
    }
    throw py::key_error(dartText(dart) + " has no 'position'");
}

namespace {

py::array_t<double> positions(GMap& gmap, const Ids& ids) {
    const std::vector<DartID> darts = checkedIds(gmap, ids);
    py::array_t<double> out({static_cast<py::ssize_t>(darts.size()), py::ssize_t{3}});
    double* point = out.mutable_data();
    for (DartID dart : darts) {
        const auto deferred = patternItem(gmap, dart, kVertexSlot, positionKey());
        if (deferred && deferred->block)
            std::copy_n(deferred->point(), 3, point);
        else
            readPoint(storedPosition(gmap, dart), dart, point);
        point += 3;
    }
    return out;
}

// Stores points[rows[i]] (points[i] without rows) as the position of darts[i], in place in its
// <1,2,3> dict (darts sharing that dict see it too). Darts given the same row share one tuple.
void setPositions(GMap& gmap, const Ids& ids, Points points, std::optional<Ids> rows) {
    const std::vector<DartID> darts = checkedIds(gmap, ids);
    PointRows entries(std::move(points), std::move(rows), darts.size(), "set_positions");
    const py::str& key = positionKey();
    for (std::size_t i = 0; i < darts.size(); ++i) {
        const DartID dart = darts[i];
        if (dart >= gmap.size()) throw py::index_error(dartText(dart) + " is gone");
        const py::object slot = Bulk(gmap).value(dart, kVertexSlot);
        if (PyDict_CheckExact(slot.ptr())) {
            if (PyDict_SetItem(slot.ptr(), key.ptr(), entries.tuple(i).ptr()) != 0)
                throw py::error_already_set();
        } else {
            slot[key] = entries.tuple(i);
        }
    }
}

} // namespace

PointRows::PointRows(Points points, std::optional<Ids> rows, std::size_t entries,
                     const std::string& caller)
    : points_(std::move(points)), rows_(std::move(rows)), entries_(entries) {
    if (points_.ndim() != 2 || points_.shape(1) != 3 ||
        (!rows_ && static_cast<std::size_t>(points_.shape(0)) != entries))
        throw py::value_error(caller + ": points must have shape (" +
                              (rows_ ? "n" : std::to_string(entries)) + ", 3)");
    if (rows_ && (rows_->ndim() != 1 || static_cast<std::size_t>(rows_->shape(0)) != entries))
        throw py::value_error(caller + ": rows must hold one row per dart, " +
                              std::to_string(entries));
    for (std::size_t i = 0; rows_ && i < entries; ++i)
        if (rows_->data()[i] < 0 || rows_->data()[i] >= points_.shape(0))
            throw py::index_error(caller + ": row " + std::to_string(rows_->data()[i]) +
                                  " is not a row of " + std::to_string(points_.shape(0)) +
                                  " points");
}

BlockRef PointRows::block() const {
    const double* data = points_.data();
    return BlockRef::of(std::vector<double>(data, data + 3 * rowCount()));
}

const py::object& PointRows::tuple(std::size_t entry) {
    const std::size_t row = this->row(entry);
    if (tuples_.empty()) tuples_.resize(rowCount());
    if (!tuples_[row]) {
        tuples_[row] = tupleOf(points_.data() + 3 * row, 3);
    }
    return tuples_[row];
}

// Darts given the same row are deferred to one pattern, a row of a point block copied from the
// points: each reads as its own dict, made on first read, and the darts of a row share one tuple.
void storeNewPositions(GMap& gmap, DartID first, PointRows& points) {
    Bulk bulk(gmap);
    const BlockRef block = points.block();
    std::vector<std::uint32_t> patterns(points.rowCount(), kAbsent);
    bulk.reservePatterns(points.rowCount());
    for (std::size_t i = 0; i < points.size(); ++i) {
        const std::size_t row = points.row(i);
        std::uint32_t& p = patterns[row];
        if (p == kAbsent)
            p = bulk.addPattern(
                DeferredDict::pointRow(positionKey(), block, static_cast<std::uint32_t>(row)),
                kVertexSlot);
        const py::object unmade = bulk.defer(first + static_cast<DartID>(i), p);
    }
    const std::vector<DeferredDict> unused = bulk.takeUnused(); // keeps the list short
}

void bindPositions(py::module_& m) {
    m.def("positions", &positions, py::arg("gmap"), py::arg("darts"),
          "The positions of darts as an (n, 3) float64 array; KeyError naming a dart without one.");
    m.def("set_positions", &setPositions, py::arg("gmap"), py::arg("darts"), py::arg("points"),
          py::arg("rows") = py::none(),
          "Stores points[rows[i]] (points[i] without rows) as the position, a tuple of three "
          "floats, of darts[i]; darts given the same row share one tuple.");
}

} // namespace gorvin::native
