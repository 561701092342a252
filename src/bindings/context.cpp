// Context3D (gorvin/rules/context.h).
// Placeholder: the members of these classes are not bound yet.
#include "registry.h"

namespace gorvin::python {

namespace {
struct ContextPlaceholder {};
} // namespace

void declareContext(py::module_& m) {
    py::class_<ContextPlaceholder>(m, "Context3D", "A class representing the context in which 3D expressions are evaluated - contains information about the current state of the model and the gmap");
}

void bindContext(py::module_&) {}

} // namespace gorvin::python
