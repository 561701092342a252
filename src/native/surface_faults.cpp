// What keeps the connected part of a dart from being a surface of closed polygons: per fault, the
// smallest dart of the part that shows it, found in one walk of the part. Costs the part's size.
#include "native.h"

#include "gorvin/core/orbit.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace gorvin::native {

namespace {

constexpr std::int64_t kNone = -1;

// The darts of the face of x (orbit <0,1>) when x is its smallest, walked along alpha0, alpha1,
// ... back to x; 0 when a smaller dart is met first. Nothing when the walk does not close (a free
// dart, or a link its target does not return).
std::optional<std::size_t> faceFromSmallest(const DartTable& darts, DartID x) {
    DartID at = x;
    for (std::size_t size = 1; size <= darts.size(); ++size) {
        const Dim d = (size - 1) % 2;
        const DartID next = darts[at].alpha[d];
        if (next == at || next >= darts.size() || darts[next].alpha[d] != at) return std::nullopt;
        if (next == x) return size;
        if (next < x) return 0;
        at = next;
    }
    return std::nullopt;
}

// The smallest dart of `darts` (ascending) whose face is not of `corners` corners, and that
// face's corners; kNone when there is none.
std::pair<std::int64_t, std::int64_t>
firstFaceOtherThan(const GMap& gmap, const std::vector<DartID>& darts, std::int64_t corners) {
    static const std::vector<int> kFace{0, 1};
    std::vector<DartID> face;
    for (const DartID x : darts) {
        std::optional<std::size_t> size = faceFromSmallest(gmap.darts(), x);
        if (!size) { // walked with marks
            face.clear();
            appendOrbit(gmap, kFace, x, face);
            if (*std::min_element(face.begin(), face.end()) < x) continue;
            size = face.size();
        }
        const auto faceCorners = static_cast<std::int64_t>(*size / 2);
        if (*size != 0 && faceCorners != corners) return {x, faceCorners};
    }
    return {kNone, 0};
}

// For the connected part of `hook` (orbit <0,1,2,3>): the smallest dart free along alpha0, free
// along alpha1, sewn along alpha3 and free along alpha2, then with corners > 0 the smallest dart
// on a face of other than `corners` corners and that face's corners (kNone for none of a kind).
py::tuple surfaceFaults(const GMap& gmap, DartID hook, std::int64_t corners) {
    if (hook >= gmap.size() || !gmap.darts()[hook].exists())
        throw py::index_error("surface_faults: dart " + std::to_string(hook) + " is no live dart");
    const std::vector<DartID> darts = orbitDarts(gmap, {0, 1, 2, 3}, hook);
    // free along 0, free along 1, sewn along 3, free along 2
    std::int64_t first[4] = {kNone, kNone, kNone, kNone};
    const auto note = [&](int kind, DartID x) {
        if (first[kind] == kNone) first[kind] = x;
    };
    for (const DartID x : darts) {
        const auto& alpha = gmap.darts()[x].alpha;
        if (alpha[0] == x) note(0, x);
        if (alpha[1] == x) note(1, x);
        if (alpha[3] != x) note(2, x);
        if (alpha[2] == x) note(3, x);
    }
    std::pair<std::int64_t, std::int64_t> face{kNone, 0};
    if (corners > 0 && first[0] == kNone && first[1] == kNone)
        face = firstFaceOtherThan(gmap, darts, corners);
    return py::make_tuple(first[0], first[1], first[2], first[3], face.first, face.second);
}

} // namespace

void bindSurfaceFaults(py::module_& m) {
    m.def("surface_faults", &surfaceFaults, py::arg("gmap"), py::arg("hook"),
          py::arg("corners") = 0,
          "For the connected part of hook (orbit <0,1,2,3>): (free0, free1, sewn3, free2, face, "
          "face_corners), the smallest dart free along alpha0, free along alpha1, sewn along "
          "alpha3 and free along alpha2, and with corners > 0 the smallest dart on a face of "
          "other than corners corners with that face's corners; -1 for none of a kind. Faces are "
          "counted only when no dart is free along alpha0 or alpha1.");
}

} // namespace gorvin::native
