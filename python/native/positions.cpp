// Positions of many darts at once: a tuple of three floats under "position" in the <1,2,3> slot
// of each dart, read into and written from (n, 3) float64 arrays.
#include "native.h"

#include <optional>
#include <string>

namespace gorvin::native {

namespace {

constexpr unsigned kVertexSlot = 0b1110; // orbit <1,2,3>
const char* const kPosition = "position";

std::string dartText(DartID dart) {
    return "dart " + std::to_string(dart);
}

// The three coordinates of `value`; ValueError naming the dart when it is not three numbers.
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
        throw py::value_error(dartText(dart) + " has position " + py::repr(value).cast<std::string>() +
                              ", not three numbers");
    const auto point = py::reinterpret_borrow<py::sequence>(value);
    for (int axis = 0; axis < 3; ++axis)
        out[axis] = point[axis].cast<double>();
}

py::array_t<double> positions(GMap& gmap, const Ids& ids) {
    const std::vector<DartID> darts = checkedIds(gmap, ids);
    py::array_t<double> out({static_cast<py::ssize_t>(darts.size()), py::ssize_t{3}});
    const py::str key(kPosition);
    double* point = out.mutable_data();
    for (DartID dart : darts) {
        if (dart >= gmap.size()) throw py::index_error(dartText(dart) + " is gone");
        const py::object slot = gmap.embeddings().get(dart, kVertexSlot);
        PyObject* value = PyDict_CheckExact(slot.ptr()) ? PyDict_GetItemWithError(slot.ptr(), key.ptr())
                                                        : nullptr;
        if (!value && PyErr_Occurred()) throw py::error_already_set();
        if (!value && !PyDict_CheckExact(slot.ptr()) && slot.contains(key))
            readPoint(slot[key], dart, point);
        else if (value)
            readPoint(value, dart, point);
        else
            throw py::key_error(dartText(dart) + " has no 'position'");
        point += 3;
    }
    return out;
}

// Stores points[rows[i]] (points[i] without rows) as the position of darts[i], in place in its
// <1,2,3> dict (darts sharing that dict see it too). Darts given the same row share one tuple.
void setPositions(GMap& gmap, const Ids& ids, const py::array_t<double, kIdArray>& points,
                  const std::optional<Ids>& rows) {
    const std::vector<DartID> darts = checkedIds(gmap, ids);
    const auto count = static_cast<std::size_t>(rows ? darts.size() : 0);
    if (points.ndim() != 2 || points.shape(1) != 3 ||
        (!rows && static_cast<std::size_t>(points.shape(0)) != darts.size()))
        throw py::value_error("set_positions: points must have shape (" +
                              (rows ? "n" : std::to_string(darts.size())) + ", 3)");
    if (rows && (rows->ndim() != 1 || static_cast<std::size_t>(rows->shape(0)) != count))
        throw py::value_error("set_positions: rows must hold one row per dart, " + std::to_string(count));
    for (std::size_t i = 0; i < count; ++i)
        if (rows->data()[i] < 0 || rows->data()[i] >= points.shape(0))
            throw py::index_error("set_positions: row " + std::to_string(rows->data()[i]) +
                                  " is not a row of " + std::to_string(points.shape(0)) + " points");
    const py::str key(kPosition);
    std::vector<py::object> tuples(static_cast<std::size_t>(points.shape(0)));
    for (std::size_t i = 0; i < darts.size(); ++i) {
        const auto row = static_cast<std::size_t>(rows ? rows->data()[i] : std::int64_t(i));
        if (!tuples[row]) {
            const double* point = points.data() + 3 * row;
            tuples[row] = py::make_tuple(point[0], point[1], point[2]);
        }
        const DartID dart = darts[i];
        if (dart >= gmap.size()) throw py::index_error(dartText(dart) + " is gone");
        const py::object slot = gmap.embeddings().get(dart, kVertexSlot);
        if (PyDict_CheckExact(slot.ptr())) {
            if (PyDict_SetItem(slot.ptr(), key.ptr(), tuples[row].ptr()) != 0)
                throw py::error_already_set();
        } else {
            slot[key] = tuples[row];
        }
    }
}

} // namespace

void bindPositions(py::module_& m) {
    m.def("positions", &positions, py::arg("gmap"), py::arg("darts"),
          "The positions of darts as an (n, 3) float64 array; KeyError naming a dart without one.");
    m.def("set_positions", &setPositions, py::arg("gmap"), py::arg("darts"), py::arg("points"),
          py::arg("rows") = py::none(),
          "Stores points[rows[i]] (points[i] without rows) as the position, a tuple of three "
          "floats, of darts[i]; darts given the same row share one tuple.");
}

} // namespace gorvin::native
