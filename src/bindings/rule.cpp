// Rule3D (gorvin/rules/rule.h).
// Placeholder: the members of these classes are not bound yet.
#include "registry.h"

namespace gorvin::python {

namespace {
struct RulePlaceholder {};
} // namespace

void declareRule(py::module_& m) {
    py::class_<RulePlaceholder>(m, "Rule3D", "A class representing a 3D transformation rule - defines how to transform topology and geometry in accordance with a specific modeling operation");
}

void bindRule(py::module_&) {}

} // namespace gorvin::python
