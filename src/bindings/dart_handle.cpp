// Dart3D: a value handle (modeler, G-map id, dart id) (gorvin/core/dart_handle.h).
#include "python_types.h"
#include "registry.h"

namespace gorvin::python {

void declareDart(py::module_& m) {
    DartClass(m, "Dart3D",
              "Handle to a dart in a GMap - allows manipulation without copying the whole GMap");
}

void bindDart(py::module_& m) {
    auto cls = classOf<DartClass>(m, "Dart3D");
    cls.def(py::init<const Dart&>(), py::arg("hdart"), "Copy constructor");
    cls.def(
        "delete",
        [](const Dart& self) {
            auto gmap = self.gmap();
            if (gmap->contains(self.dartid)) gmap->eraseSlot(self.dartid);
        },
        "Deletes the dart, making loop for all dimensions");
    cls.def_property_readonly(
        "modeler",
        [](const Dart& self) {
            auto modeler = self.modeler.lock();
            if (!modeler) throw GorvinUnexistentDartException{};
            return modeler;
        },
        "Returns the modeler (read-only)");
    cls.def_property_readonly(
        "gmapid", [](const Dart& self) { return self.gmapid; }, "Returns the GMap ID (read-only)");
    cls.def_property_readonly(
        "id", [](const Dart& self) { return self.dartid; }, "Returns the dart ID (read-only)");
    auto text = [](const Dart& self) {
        return "Dart(" + std::to_string(self.gmapid) + ", " + std::to_string(self.dartid) + ")";
    };
    cls.def("__str__", text);
    cls.def("__repr__", text);
    cls.def(
        "dart",
        [](const Owner<Dart>& self) {
            return RawDart(tiedTo(self.object, self->gmap()), self->dartid);
        },
        "Returns the dart object");

    auto neighbour = [](const Dart& self, Dim dim) {
        auto gmap = self.gmap();
        return self.with(gmap->dart(gmap->neighbour(self.dartid, dim)).id);
    };
    cls.def("__call__", neighbour, py::arg("dim"), "Returns Dart3D neighbor in given dimension");
    cls.def("alpha", neighbour, py::arg("dim"), "Returns Dart3D neighbor in given dimension");
    cls.def("a", neighbour, py::arg("dim"),
            "Returns Dart3D neighbor in given dimension (short form)");
    auto link = [](const Dart& self, Dim dim, const Dart& dart) {
        if (dim <= kDimension) dart.gmap()->linkAlpha(dim, self.dartid, dart.dartid);
    };
    cls.def("setAlpha", link, py::arg("dim"), py::arg("dart"),
            "Sets the neighbor Dart3D in given dimension");
    cls.def("set", link, py::arg("dim"), py::arg("dart"),
            "Sets the neighbor Dart3D in given dimension");
    cls.def(
        "exists",
        [](const Dart& self) {
            return self.dartid != kDeleted && self.gmap()->exists(self.dartid);
        },
        "Returns true if the dart exists");
    cls.def(
        "isFree", [](const Dart& self, Dim d) { return self.gmap()->dart(self.dartid).isFree(d); },
        "Returns true if the dart is free in given dimension");
    bindDartEmbeddings(m);
    cls.def(
        "__eq__", [](const Dart& self, const Dart& other) { return self == other; },
        py::arg("other"), "Equality comparison with another Dart3D");
    cls.def(
        "__eq__", [](const Dart& self, DartID other) { return self.dartid == other; },
        py::arg("other"), "Equality comparison with another DartID");
    cls.def(
        "__ne__", [](const Dart& self, const Dart& other) { return self != other; },
        py::arg("other"), "Inequality comparison with another Dart3D");
    cls.def("__repr__", text, "String representation of Dart3D");
    cls.def("__str__", text, "String representation of Dart3D");
    cls.def(
        "__int__", [](const Dart& self) { return self.dartid; },
        "returns the id of the dart as an integer");
}

} // namespace gorvin::python
