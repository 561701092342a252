// RuleResult (gorvin/rules/rule_result.h).
// Placeholder: the members of these classes are not bound yet.
#include "registry.h"

namespace gorvin::python {

namespace {
struct RuleResultPlaceholder {};
} // namespace

void declareRuleResult(py::module_& m) {
    py::class_<RuleResultPlaceholder>(m, "RuleResult", "A class representing the result of applying a rule in the context of 3D modeling");
}

void bindRuleResult(py::module_&) {}

} // namespace gorvin::python
