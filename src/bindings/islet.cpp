// Islet (gorvin/core/islet.h).
#include "dimension_list_binding.h"
#include "python_types.h"
#include "registry.h"

#include "gorvin/core/islet.h"

#include <vector>

namespace gorvin::python {

namespace {
using IsletClass = py::class_<Islet>;
} // namespace

void declareIslet(py::module_& m) {
    IsletClass(m, "Islet",
               "A class representing an islet in a GMap - a list of representative darts for each "
               "connected component over a specific orbit");
}

void bindIslet(py::module_& m) {
    auto cls = classOf<IsletClass>(m, "Islet");
    cls.def(py::init<std::vector<int>>(), "creates an islet from a list of items");
    bindDimensionListHead(cls, "islet", "islet<");
    cls.def(
        "__call__",
        [](const Islet& self, const GMap& gmap, std::vector<DartID> darts) {
            return self(gmap, std::move(darts));
        },
        py::arg("gmap"), py::arg("darts"), "returns the islet in a gmap starting of a dart");
    cls.def(
        "__call__", [](const Islet& self, const GMap& gmap) { return self(gmap); }, py::arg("gmap"),
        "returns the islet of a whole gmap");
    const char* containsDoc = "check if the islet contains a dimension";
    bindDimensionListTail(cls, "islet", containsDoc);
}

} // namespace gorvin::python
