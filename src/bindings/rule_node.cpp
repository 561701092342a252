// RuleNodeMultiplicity, RuleNodeLeft3D and RuleNodeRight3D (gorvin/rules/rule_node.h).
// Placeholder: the members of these classes are not bound yet.
#include "registry.h"

namespace gorvin::python {

namespace {
struct MultiplicityPlaceholder {};
struct RuleNodeLeftPlaceholder {};
struct RuleNodeRightPlaceholder {};
} // namespace

void declareMultiplicity(py::module_& m) {
    py::class_<MultiplicityPlaceholder>(m, "RuleNodeMultiplicity", "A class representing the multiplicity of a rule node in the context of 3D modeling");
}

void bindMultiplicity(py::module_&) {}

void declareRuleNodeLeft(py::module_& m) {
    py::class_<RuleNodeLeftPlaceholder>(m, "RuleNodeLeft3D", "A class representing the left-hand side of a rule node in the context of 3D modeling");
}

void bindRuleNodeLeft(py::module_&) {}

void declareRuleNodeRight(py::module_& m) {
    py::class_<RuleNodeRightPlaceholder>(m, "RuleNodeRight3D", "A class representing the right-hand side of a rule node in the context of 3D modeling");
}

void bindRuleNodeRight(py::module_&) {}

} // namespace gorvin::python
