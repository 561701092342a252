// The geometry extraction members of GMap3D (gorvin/geometry/extraction.h).
// Placeholder: the members of these classes are not bound yet.
#include "registry.h"

namespace gorvin::python {

void bindGMapExtraction(py::module_&) {}

} // namespace gorvin::python
