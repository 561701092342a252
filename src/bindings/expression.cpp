// Expression3D, the per-orbit expression classes and AllExpressions3D.
// Placeholder: the members of these classes are not bound yet.
#include "registry.h"

namespace gorvin::python {

namespace {
struct ExpressionPlaceholder {};
struct ExpressionTablePlaceholder {};
} // namespace

void declareExpression(py::module_& m) {
    py::class_<ExpressionPlaceholder>(m, "Expression3D", "A class representing a computational expression of a specific embedding");
}

void bindExpression(py::module_&) {}

void declareExpressionTable(py::module_& m) {
    py::class_<ExpressionTablePlaceholder>(m, "AllExpressions3D", "A class representing a collection of all 3D expressions (internal use)");
}

void bindExpressionTable(py::module_&) {}

void bindExpressionHelpers(py::module_&) {}

} // namespace gorvin::python
