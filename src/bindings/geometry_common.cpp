// GeometryCommon (gorvin/geometry/geometry_common.h).
// Placeholder: the members of these classes are not bound yet.
#include "registry.h"

namespace gorvin::python {

namespace {
struct GeometryCommonPlaceholder {};
} // namespace

void declareGeometryCommon(py::module_& m) {
    py::class_<GeometryCommonPlaceholder>(m, "GeometryCommon", "A class representing common geometry data for a GMap3D - contains user-defined embeddings for position, normal, color, texture coordinates, and orientation");
}

void bindGeometryCommon(py::module_&) {}

} // namespace gorvin::python
