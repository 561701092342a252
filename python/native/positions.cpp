// Positions of many darts at once: a tuple of three floats under "position" in the <1,2,3> slot
// of each dart, read into and written from (n, 3) float64 arrays.
#include "native.h"

#include <string>

namespace gorvin::native {

namespace {

constexpr unsigned kVertexSlot = 0b1110; // orbit <1,2,3>
const char* const kPosition = "position";

std::string dartText(DartID dart) {
    return "dart " + std::to_string(dart);
}

// The interned key, made once and kept for the life of the process.
PyObject* positionKey() {
    static PyObject* const key = PyUnicode_InternFromString(kPosition);
    return key;
}

} // namespace

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

py::object storedPosition(GMap& gmap, DartID dart) {
    if (dart >= gmap.size()) throw py::index_error(dartText(dart) + " is gone");
    const py::object slot = gmap.embeddings().get(dart, kVertexSlot);
    const auto key = py::reinterpret_borrow<py::str>(positionKey());
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
        readPoint(storedPosition(gmap, dart), dart, point);
        point += 3;
    }
    return out;
}

// Stores points[i] on darts[i], in place in its <1,2,3> dict (darts sharing that dict see it too).
void setPositions(GMap& gmap, const Ids& ids, const py::array_t<double, kIdArray>& points) {
    const std::vector<DartID> darts = checkedIds(gmap, ids);
    if (points.ndim() != 2 || points.shape(1) != 3 ||
        static_cast<std::size_t>(points.shape(0)) != darts.size())
        throw py::value_error("set_positions: points must have shape (" +
                              std::to_string(darts.size()) + ", 3)");
    const py::str key(kPosition);
    const double* point = points.data();
    for (DartID dart : darts) {
        if (dart >= gmap.size()) throw py::index_error(dartText(dart) + " is gone");
        const py::object slot = gmap.embeddings().get(dart, kVertexSlot);
        const py::tuple value = py::make_tuple(point[0], point[1], point[2]);
        if (PyDict_CheckExact(slot.ptr())) {
            if (PyDict_SetItem(slot.ptr(), key.ptr(), value.ptr()) != 0) throw py::error_already_set();
        } else {
            slot[key] = value;
        }
        point += 3;
    }
}

} // namespace

void bindPositions(py::module_& m) {
    m.def("positions", &positions, py::arg("gmap"), py::arg("darts"),
          "The positions of darts as an (n, 3) float64 array; KeyError naming a dart without one.");
    m.def("set_positions", &setPositions, py::arg("gmap"), py::arg("darts"), py::arg("points"),
          "Stores points[i] as the position (a tuple of three floats) of darts[i].");
}

} // namespace gorvin::native
