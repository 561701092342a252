// gorvinpy._native: whole-array work on the G-maps of gorvinpy_bin, whose registered types it
// shares (both are built from the same kernel headers with the same pybind11).
#include "native.h"

#include <string>

namespace gorvin::native {

std::vector<DartID> checkedIds(const GMap& gmap, const Ids& ids) {
    if (ids.ndim() != 1) throw py::value_error("dart ids must be a one-dimensional array");
    const std::int64_t* values = ids.data();
    std::vector<DartID> out(static_cast<std::size_t>(ids.shape(0)));
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (values[i] < 0 || static_cast<std::uint64_t>(values[i]) >= gmap.size())
            throw py::index_error("dart " + std::to_string(values[i]) +
                                  " is not a slot of a G-map of " + std::to_string(gmap.size()) +
                                  " darts");
        out[i] = static_cast<DartID>(values[i]);
    }
    return out;
}

FaceArrays checkedFaces(py::array_t<std::int64_t, kIdArray> corners,
                        py::array_t<std::int64_t, kIdArray> offsets) {
    if (corners.ndim() != 1 || offsets.ndim() != 1 || offsets.shape(0) == 0)
        throw py::value_error(
            "faces: corners and offsets must be one-dimensional, offsets not empty");
    const std::int64_t* offset = offsets.data();
    const auto last = static_cast<std::size_t>(offsets.shape(0)) - 1;
    bool sound = offset[0] == 0 && offset[last] == corners.shape(0);
    for (std::size_t f = 0; sound && f < last; ++f)
        sound = offset[f] <= offset[f + 1];
    if (!sound)
        throw py::value_error("faces: offsets must rise from 0 to the number of corners, " +
                              std::to_string(corners.shape(0)));
    return FaceArrays{std::move(corners), std::move(offsets)};
}

} // namespace gorvin::native

PYBIND11_MODULE(_native, m) {
    m.doc() = "Whole-array operations on the G-maps of gorvinpy_bin.";
    pybind11::module_::import("gorvinpy_bin");
    gorvin::native::bindBulk(m);
    gorvin::native::bindPositions(m);
    gorvin::native::bindBatch(m);
    gorvin::native::bindPointPrograms(m);
    gorvin::native::bindPolygonLayout(m);
    gorvin::native::bindMeshFaces(m);
    gorvin::native::bindChecks(m);
    gorvin::native::bindMeshText(m);
    gorvin::native::bindObjWriter(m);
    gorvin::native::bindRaster(m);
    gorvin::native::bindStorage(m);
    gorvin::native::bindSlotItems(m);
    gorvin::native::bindSurfaceFaults(m);
    m.attr("VERTEX_SLOT") = gorvin::native::kVertexSlot;
    m.attr("FACE_SLOT") = gorvin::native::kFaceSlot;
    m.attr("VOLUME_SLOT") = gorvin::native::kVolumeSlot;
}
