// GMap3D.apply and applyRule (gorvin/rules/engine.h).
// Placeholder: the members of these classes are not bound yet.
#include "registry.h"

namespace gorvin::python {

void bindGMapApply(py::module_&) {}

void bindApplyRule(py::module_&) {}

} // namespace gorvin::python
