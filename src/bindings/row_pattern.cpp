// RowPattern3D (gorvin/rules/row_pattern.h).
// Placeholder: the members of these classes are not bound yet.
#include "registry.h"

namespace gorvin::python {

namespace {
struct RowPatternPlaceholder {};
} // namespace

void declareRowPattern(py::module_& m) {
    py::class_<RowPatternPlaceholder>(m, "RowPattern3D", "A class representing a row pattern in the context of rule transformation - used to define explicit ith instances of rule nodes (topological variables)");
}

void bindRowPattern(py::module_&) {}

} // namespace gorvin::python
