// Modeler3D (gorvin/core/modeler.h).
#include "python_types.h"
#include "registry.h"

namespace gorvin::python {

namespace {

// Iteration over a modeler's G-maps by position, so that make_gmap during the walk is safe. It
// holds the modeler's Python object.
struct GMapCursor {
    Owner<Modeler> modeler;
    std::size_t index;

    std::shared_ptr<GMap> operator*() const { return pinned(modeler.object, modeler->gmap(index)); }
    GMapCursor& operator++() {
        ++index;
        return *this;
    }
};
struct GMapListEnd {};
bool operator==(const GMapCursor& cursor, GMapListEnd) {
    return cursor.index >= cursor.modeler->sizeGMaps();
}

} // namespace

void declareModeler(py::module_& m) {
    ModelerClass(m, "Modeler3D",
                 "The main class for creating and manipulating 3D models using the Gorvin library");
}

void bindModeler(py::module_& m) {
    auto cls = classOf<ModelerClass>(m, "Modeler3D");
    cls.def(py::init<std::string, std::string>(), py::arg("name") = "gorvinmodeler",
            py::arg("module") = "gorvinpy");
    cls.def(py::init<const Modeler&>(), py::arg("modeler"));
    auto text = [](const Modeler& self) {
        return "Modeler<dim: " + std::to_string(self.dim()) +
               " - sizeGMap: " + std::to_string(self.sizeGMaps()) +
               " - sizeEbds: " + std::to_string(self.sizeEbds()) + ">(" + self.name() + "," +
               self.module() + ")";
    };
    cls.def("__repr__", text);
    cls.def("__str__", text);
    cls.def_property_readonly("name", &Modeler::name, "returns the name of the modeler");
    cls.def_property_readonly("module", &Modeler::module, "returns the module of the modeler");
    cls.def(
        "sizeEbds", [](const Modeler& self) { return self.sizeEbds(); },
        "returns the size of the ebds");
    cls.def("sizeGMaps", &Modeler::sizeGMaps, "returns the size of the gmaps");
    auto gmap = [](const Owner<Modeler>& self, std::uint32_t gid) {
        return pinned(self.object, self->gmap(gid));
    };
    cls.def("gmap", gmap, py::arg("gid"), "returns the gmap object for a given gmap id");
    cls.def(
        "make_gmap",
        [](const Owner<Modeler>& self) { return pinned(self.object, self->makeGMap()); },
        "creates a new gmap and returns it");
    cls.def_property_readonly(
        "dim", [](const Modeler& self) { return self.dim(); },
        "returns the dimension of the modeler");
    cls.def("__len__", &Modeler::sizeGMaps, "returns the size of the modeler");
    cls.def("__getitem__", gmap, py::arg("gid"), "returns the gmap object for a given gmap id");
    cls.def("__iter__", [](const Owner<Modeler>& self) {
        return py::make_iterator(GMapCursor{self, 0}, GMapListEnd{});
    });
}

} // namespace gorvin::python
