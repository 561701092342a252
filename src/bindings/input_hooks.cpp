// InputHooks (gorvin/rules/input_hooks.h).
// Placeholder: the members of these classes are not bound yet.
#include "registry.h"

namespace gorvin::python {

namespace {
struct InputHooksPlaceholder {};
} // namespace

void declareInputHooks(py::module_& m) {
    py::class_<InputHooksPlaceholder>(m, "InputHooks", "A class representing atomic input hooks for the Modeler3D - allows users to define where an operation should be applied in the model by specifying darts");
}

void bindInputHooks(py::module_&) {}

} // namespace gorvin::python
