// What keeps the connected part of a dart from being a surface of closed polygons: per fault, the
// smallest dart of the part that shows it. The whole map is read in memory order first; the part
// is walked only when the map shows a fault.
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

// The faults of a set of darts, each kind's smallest dart (kNone: none).
struct Faults {
    std::int64_t free0 = kNone, free1 = kNone, sewn3 = kNone, free2 = kNone;
    std::int64_t face = kNone, faceCorners = 0; // on a face of other than the corners asked

    bool any() const {
        return free0 != kNone || free1 != kNone || sewn3 != kNone || free2 != kNone ||
               face != kNone;
    }
};

// The faults of the darts forEach(visit) visits in ascending order: free along alpha0 or alpha1,
// sewn along alpha3, with `closed` free along alpha2, and with corners > 0 (when no dart is free
// along alpha0 or alpha1) on a face of other than `corners` corners.
template <class ForEach>
Faults faultsOf(const GMap& gmap, ForEach&& forEach, std::int64_t corners, bool closed) {
    Faults out;
    const auto note = [](std::int64_t& first, DartID x) {
        if (first == kNone) first = x;
    };
    forEach([&](DartID x) {
        const auto& alpha = gmap.darts()[x].alpha;
        if (alpha[0] == x) note(out.free0, x);
        if (alpha[1] == x) note(out.free1, x);
        if (alpha[3] != x) note(out.sewn3, x);
        if (closed && alpha[2] == x) note(out.free2, x);
    });
    if (corners <= 0 || out.free0 != kNone || out.free1 != kNone) return out;
    static const std::vector<int> kFace{0, 1};
    std::vector<DartID> face;
    forEach([&](DartID x) {
        if (out.face != kNone) return;
        std::optional<std::size_t> size = faceFromSmallest(gmap.darts(), x);
        if (!size) { // walked with marks
            face.clear();
            appendOrbit(gmap, kFace, x, face);
            if (*std::min_element(face.begin(), face.end()) < x) return;
            size = face.size();
        }
        const auto faceCorners = static_cast<std::int64_t>(*size / 2);
        if (*size == 0 || faceCorners == corners) return;
        out.face = x;
        out.faceCorners = faceCorners;
    });
    return out;
}

// The faults of the connected part of `hook` (orbit <0,1,2,3>), as faultsOf gives them. The whole
// map is read first, in memory order: where it shows none, the part shows none, and the part is not
// walked.
py::tuple surfaceFaults(const GMap& gmap, DartID hook, std::int64_t corners, bool closed) {
    if (hook >= gmap.size() || !gmap.darts()[hook].exists())
        throw py::index_error("surface_faults: dart " + std::to_string(hook) + " is no live dart");
    Faults faults = faultsOf(
        gmap,
        [&](auto&& visit) {
            for (DartID x = 0; x < gmap.size(); ++x)
                if (gmap.darts()[x].exists()) visit(x);
        },
        corners, closed);
    if (faults.any()) {
        const std::vector<DartID> part = orbitDarts(gmap, {0, 1, 2, 3}, hook);
        faults = faultsOf(
            gmap,
            [&](auto&& visit) {
                for (const DartID x : part)
                    visit(x);
            },
            corners, closed);
    }
    return py::make_tuple(faults.free0, faults.free1, faults.sewn3, faults.free2, faults.face,
                          faults.faceCorners);
}

} // namespace

void bindSurfaceFaults(py::module_& m) {
    m.def("surface_faults", &surfaceFaults, py::arg("gmap"), py::arg("hook"),
          py::arg("corners") = 0, py::arg("closed") = false,
          "For the connected part of hook (orbit <0,1,2,3>): (free0, free1, sewn3, free2, face, "
          "face_corners), the smallest dart free along alpha0, free along alpha1, sewn along "
          "alpha3 and, with closed, free along alpha2, and with corners > 0 the smallest dart on "
          "a face of other than corners corners with that face's corners; -1 for none of a kind. "
          "Faces are counted only when no dart is free along alpha0 or alpha1.");
}

} // namespace gorvin::native
