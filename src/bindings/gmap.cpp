// GMap3D and its dart iterator (gorvin/core/gmap.h).
#include "python_types.h"
#include "registry.h"

#include <pybind11/typing.h>

namespace gorvin::python {

namespace {

// Walks the slot positions taken at creation, stopping early if the table has shrunk. Its G-map
// holds the GMap3D object it came from.
struct DartIterator {
    std::shared_ptr<GMap> gmap;
    std::size_t current;
    std::size_t end;

    Dart next() {
        if (current >= end || current >= gmap->size()) throw py::stop_iteration();
        return handleOf(*gmap, gmap->darts()[current++].id);
    }
};

using DartIteratorClass = py::class_<DartIterator>;

} // namespace

void declareDartIterator(py::module_& m) {
    DartIteratorClass(m, "GMapDart3DIterator",
                      "An iterator for traversing darts in a GMap3D structure in lazy evaluation "
                      "style (in order to avoid memory issues with pybind11 and Python)");
}

void declareGMap(py::module_& m) {
    GMapClass(m, "GMap3D",
              "A 3D generalized map - a combinatorial structure used to represent 3D objects and "
              "their relationships");
}

void bindDartIterator(py::module_& m) {
    auto cls = classOf<DartIteratorClass>(m, "GMapDart3DIterator");
    cls.def(
        "__iter__", [](DartIterator& self) -> DartIterator& { return self; },
        py::return_value_policy::reference);
    cls.def("__next__", &DartIterator::next);
}

void bindGMap(py::module_& m) {
    auto cls = classOf<GMapClass>(m, "GMap3D");
    cls.def_property_readonly("id", &GMap::id, "returns the id of the gmap (read-only)");
    cls.def("resize", &GMap::resize, py::arg("size"),
            "resize the gmap to the given size (add or remove darts if needed)");
    cls.def("clear", &GMap::clear, "clear the gmap (remove all darts)");
    cls.def("linkAlpha", py::overload_cast<Dim, DartID, DartID>(&GMap::linkAlpha), py::arg("dim"),
            py::arg("a"), py::arg("b"),
            "link two darts ids in the gmap along a given dimension. This function impact old "
            "neighbors of the darts");
    cls.def("linkAlpha", py::overload_cast<Dim, DartID>(&GMap::linkAlpha), py::arg("dim"),
            py::arg("a"),
            "make a loop for dart id in the gmap along a given dimension. This function impact old "
            "neighbors of the dart");
    cls.def("__len__", &GMap::size, "returns the size of the gmap");
    cls.def("size", &GMap::size, "returns the size of the gmap");
    auto get = [](const GMap& self, DartID id) { return handleOf(self, self.dart(id).id); };
    cls.def("get", get, py::arg("id"), "returns the dart object for a given dart id");
    cls.def("__getitem__", get, py::arg("id"), "returns the dart object for a given dart id");
    auto neighbour = [](const GMap& self, DartID id, Dim dim) {
        return handleOf(self, self.dart(self.neighbour(id, dim)).id);
    };
    const char* neighbourDoc = "returns the dart id of the neighbor dart for a given dimension";
    cls.def("a", neighbour, py::arg("id"), py::arg("dim"), neighbourDoc);
    cls.def("alpha", neighbour, py::arg("id"), py::arg("dim"), neighbourDoc);
    cls.def(
        "path",
        [](const GMap& self, DartID id, const std::vector<Dim>& dims) {
            DartID current = id;
            for (Dim d : dims)
                current = self.dart(self.neighbour(current, d)).id;
            return handleOf(self, current);
        },
        py::arg("id"), py::arg("dims"),
        "returns the dart id of the neighbor dart for a given path of dimensions");
    cls.def("reserve", &GMap::reserve, "reserve space for the given number of darts");
    cls.def(
        "make_darts",
        [](GMap& self, std::uint64_t n) {
            const DartID first = self.makeDarts(n);
            py::typing::List<Dart> darts(n);
            for (std::uint64_t i = 0; i < n; ++i)
                darts[i] = py::cast(handleOf(self, static_cast<DartID>(first + i)));
            return darts;
        },
        py::arg("n"), "make n darts in the gmap");
    cls.def(
        "toDarts",
        [](const GMap& self) {
            // The ids first: making the handles may run code (a finalizer) that changes the table.
            std::vector<DartID> ids;
            ids.reserve(self.size());
            for (const IDart& dart : self.darts())
                ids.push_back(dart.id);
            py::typing::List<Dart> darts(ids.size());
            for (std::size_t i = 0; i < ids.size(); ++i)
                darts[i] = py::cast(handleOf(self, ids[i]));
            return darts;
        },
        "returns a list of Dart3D objects in the gmap");
    cls.def("exists", &GMap::exists, "returns true if the dart exists, false otherwise");
    cls.def("__iter__", [](const Owner<GMap>& self) {
        return DartIterator{self.held(), 0, self->size()};
    });
    auto text = [](const GMap& self) {
        return "GMap<" + std::to_string(self.id()) + " - size: " + std::to_string(self.size()) +
               ">";
    };
    cls.def("__str__", text);
    cls.def("__repr__", text);
    bindGMapEmbeddings(m);
    bindGMapApply(m);
    bindGMapExtraction(m);
}

} // namespace gorvin::python
