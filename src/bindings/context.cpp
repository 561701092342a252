// Context3D (gorvin/rules/context.h): the argument of every expression callable.
#include "python_rules.h"
#include "registry.h"

#include <string>
#include <utility>
#include <vector>

namespace gorvin::python {

void declareContext(py::module_& m) {
    ContextClass(m, "Context3D",
                 "A class representing the context in which 3D expressions are evaluated - "
                 "contains information about the current state of the model and the gmap");
}

void bindContext(py::module_& m) {
    auto cls = classOf<ContextClass>(m, "Context3D");
    cls.def(py::init([](std::shared_ptr<Modeler> modeler, std::shared_ptr<Rule> rule,
                        std::shared_ptr<GMap> gmap, std::vector<DartID> leftpattern,
                        std::uint32_t rowid, std::uint32_t rnodeid, DartID lid, DartID rid) {
                return std::make_shared<Context>(Context{std::move(modeler), std::move(rule),
                                                         std::move(gmap), std::move(leftpattern),
                                                         rowid, rnodeid, lid, rid});
            }),
            py::arg("modeler").none(false), py::arg("rule").none(false),
            py::arg("gmap").none(false), py::arg("leftpattern"), py::arg("rowid"),
            py::arg("rnodeid"), py::arg("lid"), py::arg("rid"));
    cls.def_property_readonly("modeler", [](const Context& self) { return self.modeler; });
    cls.def_property_readonly("gmap", [](const Context& self) { return pinned(self.gmap); });
    cls.def_property_readonly("rule", [](const Context& self) { return self.rule; });
    cls.def_property_readonly(
        "leftpattern",
        [](const Context& self) {
            std::vector<Dart> darts;
            darts.reserve(self.leftpattern.size());
            for (DartID id : self.leftpattern)
                darts.push_back(handleOf(*self.gmap, id));
            return darts;
        },
        "returns the left pattern as a list of Dart3D");
    cls.def_property_readonly(
        "leftdart", [](const Context& self) { return handleOf(*self.gmap, self.leftdart); },
        "returns the left dart of the context");
    cls.def_property_readonly(
        "rightdart", [](const Context& self) { return handleOf(*self.gmap, self.rightdart); },
        "returns the right dart of the context");
    auto text = [](const Context& self) { return "ExprContext<" + self.modeler->name() + ">"; };
    cls.def("__repr__", text);
    cls.def("__str__", text);
}

} // namespace gorvin::python
