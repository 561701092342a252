// The geometry extraction members of GMap3D (gorvin/geometry/extraction.h).
#include "gorvin/geometry/extraction.h"

#include "python_types.h"
#include "registry.h"

#include <pybind11/typing.h>

namespace gorvin::python {

namespace {

// Pauses the cycle collector while a call builds its lists: on a big map they are a million
// containers, whose allocation would start collections that traverse the whole heap. The lists
// hold only ints, so they form no cycle.
class CollectorPause {
  public:
    CollectorPause() : wasEnabled_(PyGC_Disable() != 0) {}
    CollectorPause(const CollectorPause&) = delete;
    CollectorPause& operator=(const CollectorPause&) = delete;
    ~CollectorPause() {
        if (wasEnabled_) PyGC_Enable();
    }

  private:
    bool wasEnabled_;
};

using IdList = py::typing::List<int>;
using IdLists = py::typing::List<IdList>;

// A list of n items, item(i) giving the object at position i.
template <class Item> py::list listOf(std::size_t n, const Item& item) {
    py::list result(n);
    for (std::size_t i = 0; i < n; ++i)
        PyList_SET_ITEM(result.ptr(), static_cast<py::ssize_t>(i), item(i).release().ptr());
    return result;
}

IdList toList(const std::vector<DartID>& ids) {
    return listOf(ids.size(), [&](std::size_t i) { return py::int_(ids[i]); });
}

IdLists toList(const FaceList& faces) {
    const CollectorPause pause;
    return listOf(faces.size(), [&](std::size_t f) { return toList(faces[f]); });
}

// Corners as vertex numbers: each number's int is made once and shared by its corners.
IdLists toList(const FaceList& faces, std::size_t vertexCount) {
    const CollectorPause pause;
    const py::list numbers = listOf(vertexCount, [](std::size_t v) { return py::int_(v); });
    const auto number = [&](DartID v) {
        return py::reinterpret_borrow<py::object>(PyList_GET_ITEM(numbers.ptr(), v));
    };
    return listOf(faces.size(), [&](std::size_t f) {
        return listOf(faces[f].size(), [&](std::size_t c) { return number(faces[f][c]); });
    });
}

} // namespace

void bindGMapExtraction(py::module_& m) {
    auto cls = classOf<GMapClass>(m, "GMap3D");
    cls.def(
        "extractFaces2D", [](const GMap& self) { return toList(extractFaces2D(self)); },
        "extracts 2D faces from the given list of dart ids");
    cls.def(
        "extractFaces3D", [](const GMap& self) { return toList(extractFaces3D(self)); },
        "extracts 3D faces from the given list of dart ids");
    cls.def(
        "extractGeometryCompacted3D",
        [](const GMap& self) {
            const CompactedGeometry geometry = extractGeometryCompacted3D(self);
            return py::typing::Tuple<IdList, IdLists>(py::make_tuple(
                toList(geometry.vertices), toList(geometry.faces, geometry.vertices.size())));
        },
        "extracts compacted 3D geometry from the given gmap, it gives a map of dart ids to indices "
        "and a vector of faces represented by dart ids in new vertices indices");
}

} // namespace gorvin::python
