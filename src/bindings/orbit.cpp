// Orbit (gorvin/core/orbit.h) and the module functions orbit, islet and sorbit.
// Placeholder: the members of these classes are not bound yet.
#include "registry.h"

namespace gorvin::python {

namespace {
struct OrbitPlaceholder {};
} // namespace

void declareOrbit(py::module_& m) {
    py::class_<OrbitPlaceholder>(m, "Orbit", "A class representing an orbit in a GMap - a set of darts that are connected through specific involutions");
}

void bindOrbit(py::module_&) {}

void bindOrbitFunctions(py::module_&) {}

} // namespace gorvin::python
