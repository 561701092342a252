// Islet (gorvin/core/islet.h).
// Placeholder: the members of these classes are not bound yet.
#include "registry.h"

namespace gorvin::python {

namespace {
struct IsletPlaceholder {};
} // namespace

void declareIslet(py::module_& m) {
    py::class_<IsletPlaceholder>(m, "Islet", "A class representing an islet in a GMap - a list of representative darts for each connected component over a specific orbit");
}

void bindIslet(py::module_&) {}

} // namespace gorvin::python
