// InputHooks (gorvin/rules/input_hooks.h): the one-dart-per-column hook table.
#include "python_rules.h"
#include "registry.h"

#include <string>
#include <utility>
#include <vector>

namespace gorvin::python {

void declareInputHooks(py::module_& m) {
    InputHooksClass(m, "InputHooks",
                    "A class representing atomic input hooks for the Modeler3D - allows users to "
                    "define where an operation should be applied in the model by specifying darts");
}

void bindInputHooks(py::module_& m) {
    auto cls = classOf<InputHooksClass>(m, "InputHooks");
    cls.def(py::init<>(), "Constructor for a rule with no hook");
    cls.def(py::init([](const std::vector<Dart>& darts) {
                std::vector<DartID> ids;
                ids.reserve(darts.size());
                for (const Dart& dart : darts)
                    ids.push_back(dart.dartid);
                return AtomicInputHooks(std::move(ids));
            }),
            py::arg("darts"), "Constructor for a rule with a list of hooks");
    cls.def(py::init<std::vector<DartID>>(), py::arg("dartIDs"),
            "Constructor for a rule with a list of hooks");
    auto text = [](const AtomicInputHooks& self) {
        std::string out = "InputHooks<col=" + std::to_string(self.sizeCol());
        for (std::size_t c = 0; c < self.sizeCol(); ++c)
            out += ";row" + std::to_string(c) + "=" + std::to_string(self.sizeRow(c));
        return out + ">";
    };
    cls.def("__repr__", text);
    cls.def("__str__", text);
    cls.def(
        "__getitem__",
        [](const AtomicInputHooks& self, std::pair<std::size_t, std::size_t> pair) {
            return self.dartAt(pair.first, pair.second);
        },
        py::arg("pair"), "returns the dart at index col=pair.first and row=pair.second");
    cls.def("sizeCol", &AtomicInputHooks::sizeCol, "returns the number of col in the hooks");
    cls.def("sizeRow", &AtomicInputHooks::sizeRow, "returns the number of row in the hooks");
}

} // namespace gorvin::python
