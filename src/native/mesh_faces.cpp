// The faces of a G-map as a polygon mesh: the vertices and faces of the compacted extraction
// (same numbering, same face order and walks), each face turned by the side of its first dart.
// Sides split the live darts so that every alpha0, alpha1 and alpha2 link crosses them where it
// can: a breadth-first colouring from the smallest uncoloured dart; links to deleted slots read as
// free links. Faces also carry the connected part (islet over 0, 1, 2, 3) of their first dart.
#include "native.h"

#include "gorvin/core/islet.h"
#include "gorvin/geometry/extraction.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace gorvin::native {

namespace {

// 0 or 1 per slot; every link over 0, 1, 2 between two live darts crosses sides unless the
// colouring met an odd cycle.
std::vector<std::uint8_t> sides(const DartTable& darts) {
    constexpr std::uint8_t unset = 2;
    std::vector<std::uint8_t> side(darts.size(), unset);
    std::vector<DartID> pending;
    pending.reserve(darts.size());
    for (DartID seed = 0; seed < darts.size(); ++seed) {
        if (!darts[seed].exists() || side[seed] != unset) continue;
        side[seed] = 0;
        pending.assign(1, seed);
        for (std::size_t next = 0; next < pending.size(); ++next) {
            const DartID dart = pending[next];
            for (Dim d = 0; d < 3; ++d) {
                const DartID neighbour = liveNeighbour(darts, dart, d);
                if (side[neighbour] != unset) continue;
                side[neighbour] = static_cast<std::uint8_t>(1 - side[dart]);
                pending.push_back(neighbour);
            }
        }
    }
    return side;
}

// (vertex representatives, corners, offsets, connected part of each face).
py::tuple meshFaces(const GMap& gmap) {
    const DartTable& darts = gmap.darts();
    Cells vertices = cells(darts, std::array<Dim, 3>{1, 2, 3});
    const Cells faces = cells(darts, std::array<Dim, 3>{0, 1, 3});
    const std::vector<std::uint8_t> side = sides(darts);
    const std::vector<DartID> part = isletLabels(gmap, {0, 1, 2, 3});
    std::vector<std::int64_t> corners, offsets{0}, parts;
    corners.reserve(darts.size() / 2);
    offsets.reserve(faces.representatives.size() + 1);
    parts.reserve(faces.representatives.size());
    forEachFaceWalk(
        darts, faces, [&](std::uint32_t, DartID d) { corners.push_back(vertices.cellOf[d]); },
        [&](std::uint32_t w) {
            const DartID start = faces.representatives[w];
            if (side[start] == 1) std::reverse(corners.begin() + offsets.back() + 1, corners.end());
            offsets.push_back(static_cast<std::int64_t>(corners.size()));
            parts.push_back(part[start]);
        });
    return py::make_tuple(asArray(std::move(vertices.representatives)), asArray(std::move(corners)),
                          asArray(std::move(offsets)), asArray(std::move(parts)));
}

// (darts, offsets): the faces of the 2-map (orbits <0, 1>) as extractFaces2D walks them.
py::tuple faceDarts(const GMap& gmap) {
    std::vector<std::int64_t> darts, offsets{0};
    for (const std::vector<DartID>& walk : extractFaces2D(gmap)) {
        darts.insert(darts.end(), walk.begin(), walk.end());
        offsets.push_back(static_cast<std::int64_t>(darts.size()));
    }
    return py::make_tuple(asArray(std::move(darts)), asArray(std::move(offsets)));
}

} // namespace

void bindMeshFaces(py::module_& m) {
    m.def("face_darts", &faceDarts, py::arg("gmap"),
          "(darts, offsets): the faces of the 2-map, each the darts of the walk from its smallest "
          "dart (face f: darts[offsets[f]:offsets[f+1]]), by increasing first dart.");
    m.def("mesh_faces", &meshFaces, py::arg("gmap"),
          "(vertex representatives, corners, offsets, part of each face): the compacted extraction "
          "as flat arrays (face f: corners[offsets[f]:offsets[f+1]]), each face turned so that "
          "faces sewn by alpha2 agree.");
}

} // namespace gorvin::native
