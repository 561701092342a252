// RawDart3D: a reference to one slot of a dart table (gorvin/core/dart_ref.h).
#include "python_types.h"
#include "registry.h"

namespace gorvin::python {

void declareRawDart(py::module_& m) {
    RawDartClass(
        m, "RawDart3D",
        "A class representing a raw dart in a GMap - contains the basic information about a "
        "dart without any additional functionality or safety checks (be careful of "
        "references)");
}

namespace {

// The twelve comparisons of a record's id, with another record or with an id.
template <class Compare>
void bindComparison(RawDartClass& cls, const char* name, const char* withDart, const char* withId) {
    cls.def(
        name,
        [](const RawDart& self, const RawDart& other) {
            return Compare{}(self.record().id, other.record().id);
        },
        withDart);
    cls.def(
        name, [](const RawDart& self, DartID id) { return Compare{}(self.record().id, id); },
        withId);
}

} // namespace

void bindRawDart(py::module_& m) {
    auto cls = classOf<RawDartClass>(m, "RawDart3D");
    auto text = [](const RawDart& self) {
        return "Dart<" + std::to_string(self.record().id) + ">";
    };
    const char* textDoc = "returns a string representation of the dart";
    cls.def("__repr__", text, textDoc);
    cls.def("__str__", text, textDoc);
    cls.def(
        "__int__", [](const RawDart& self) { return self.record().id; },
        "returns the id of the dart as an integer");
    cls.def(
        "isFree", [](const RawDart& self, Dim d) { return self.record().isFree(d); },
        "returns true if the dart is free along the given dimension (make a loop)");
    cls.def_property_readonly(
        "id", [](const RawDart& self) { return self.record().id; },
        "returns the id of the dart (read-only)");
    cls.def(
        "exists", [](const RawDart& self) { return self.record().exists(); },
        "returns true if the dart exists, false otherwise");
    cls.def(
        "delete", [](RawDart& self) { self.erase(); },
        "deletes the current dart, making loop for all dimensions");
    bindComparison<std::equal_to<DartID>>(cls, "__eq__", "compare two darts for equality",
                                          "compare a dart and a dart id for equality");
    bindComparison<std::not_equal_to<DartID>>(cls, "__ne__", "compare two darts for inequality",
                                              "compare a dart and a dart id for inequality");
    bindComparison<std::less<DartID>>(cls, "__lt__", "compare two darts for less than",
                                      "compare a dart and a dart id for less than");
    bindComparison<std::less_equal<DartID>>(
        cls, "__le__", "compare two darts for less than or equal to",
        "compare a dart and a dart id for less than or equal to");
    bindComparison<std::greater<DartID>>(cls, "__gt__", "compare two darts for greater than",
                                         "compare a dart and a dart id for greater than");
    bindComparison<std::greater_equal<DartID>>(
        cls, "__ge__", "compare two darts for greater than or equal to",
        "compare a dart and a dart id for greater than or equal to");

    auto neighbour = [](const RawDart& self, Dim dim) { return self.record().neighbour(dim); };
    const char* neighbourDoc = "returns the dart id of the neighbor dart for a given dimension";
    cls.def("__call__", neighbour, py::arg("dim"), neighbourDoc);
    cls.def("__getitem__", neighbour, py::arg("dim"), neighbourDoc);
    cls.def(
        "__setitem__",
        [](RawDart& self, Dim dim, DartID did) {
            self.setLink(dim, did);
            return self.detached();
        },
        py::arg("dim"), py::arg("did"),
        "sets the given dart id as the neighbor dart for a given dimension");
    cls.def("alpha", neighbour, neighbourDoc);
    // Results that are the argument itself come back as the same Python object. A neighbour
    // shares the tie of the dart it came from (so that walks build no chain of ties).
    cls.def(
        "a",
        [](RawDart& self, Dim dim) -> RawDart* {
            if (dim > kDimension) return &self;
            return new RawDart(self.owner(), self.record().alpha[dim]);
        },
        py::arg("dim"), py::return_value_policy::take_ownership,
        "returns the neighbor dart object for a given dimension");
    cls.def(
        "set",
        [](const RawDart& self, Dim dim, RawDart& dart) -> RawDart& {
            if (dim > kDimension) return dart;
            const DartID a = self.record().id;
            const DartID b = dart.record().id;
            if (a == b)
                dart.owner()->linkAlpha(dim, a);
            else
                dart.owner()->linkAlpha(dim, a, b);
            return dart;
        },
        py::arg("dim"), py::arg("dart"), py::return_value_policy::reference,
        "sets the given dart object as the neighbor dart for a given dimension");
    bindRawDartEmbeddings(m);
}

} // namespace gorvin::python
