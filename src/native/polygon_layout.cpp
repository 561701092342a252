// The darts of a polygon mesh before they exist in a G-map. Side i of a face with corners
// v0 .. vk-1 gets darts 2i (at vi) and 2i+1 (at vi+1); alpha0 joins the two darts of a side,
// alpha1 the two darts of a corner, and alpha2 the first two sides over the same two points, dart
// to dart at the same point (later sides over them stay free). Links are block-relative and a free
// dart links to itself, so the table feeds append_darts as it is.
#include "native.h"

#include <algorithm>
#include <string>
#include <utility>

namespace gorvin::native {

namespace {

std::string faceText(const FaceArrays& faces, std::size_t f) {
    std::string text = "[";
    for (const std::int64_t* corner = faces.begin(f); corner != faces.end(f); ++corner)
        text += (corner == faces.begin(f) ? "" : ", ") + std::to_string(*corner);
    return text + "]";
}

void checkFaces(const FaceArrays& faces, std::int64_t pointCount) {
    if (pointCount < 0) throw py::value_error("polygon layout: negative point count");
    for (std::size_t f = 0; f < faces.count(); ++f) {
        const bool corners = faces.end(f) - faces.begin(f) >= 3;
        if (!corners || std::any_of(faces.begin(f), faces.end(f),
                                    [&](std::int64_t v) { return v < 0 || v >= pointCount; }))
            throw py::value_error("face " + faceText(faces, f) +
                                  " needs 3 or more vertex indices below " +
                                  std::to_string(pointCount));
    }
}

// Sews along alpha2 the first two sides over each pair of points. Sides are bucketed by their
// smaller point (a stable counting sort), then each bucket is sorted by the larger point.
void sewSides(const std::vector<std::int64_t>& point, std::int64_t pointCount,
              std::uint32_t* links) {
    const std::size_t sides = point.size() / 2;
    std::vector<std::uint32_t> start(static_cast<std::size_t>(pointCount) + 1, 0);
    auto low = [&](std::size_t s) { return std::min(point[2 * s], point[2 * s + 1]); };
    auto high = [&](std::size_t s) { return std::max(point[2 * s], point[2 * s + 1]); };
    for (std::size_t s = 0; s < sides; ++s)
        ++start[low(s) + 1];
    for (std::size_t v = 0; v < static_cast<std::size_t>(pointCount); ++v)
        start[v + 1] += start[v];
    std::vector<std::uint32_t> bucketed(sides);
    std::vector<std::uint32_t> fill(start.begin(), start.end() - 1);
    for (std::size_t s = 0; s < sides; ++s)
        bucketed[fill[low(s)]++] = static_cast<std::uint32_t>(s);
    for (std::size_t v = 0; v < static_cast<std::size_t>(pointCount); ++v) {
        const auto first = bucketed.begin() + start[v], last = bucketed.begin() + start[v + 1];
        std::stable_sort(first, last,
                         [&](std::uint32_t a, std::uint32_t b) { return high(a) < high(b); });
        for (auto side = first; side + 1 < last; ++side) {
            if (side != first && high(side[-1]) == high(*side)) continue; // not a group's first
            if (high(side[1]) != high(*side)) continue;
            const std::uint32_t a = 2 * side[0], b = 2 * side[1];
            const std::uint32_t crossed = point[a] == point[b] ? 0 : 1;
            links[4 * a + 2] = b + crossed;
            links[4 * (b + crossed) + 2] = a;
            links[4 * (a + 1) + 2] = b + 1 - crossed;
            links[4 * (b + 1 - crossed) + 2] = a + 1;
        }
    }
}

// (point of each dart, (n, 4) block-relative links) for the faces.
py::tuple polygonLayout(py::array_t<std::int64_t, kIdArray> corners,
                        py::array_t<std::int64_t, kIdArray> offsets, std::int64_t pointCount) {
    const FaceArrays faces = checkedFaces(std::move(corners), std::move(offsets));
    checkFaces(faces, pointCount);
    const std::size_t darts = 2 * static_cast<std::size_t>(faces.corners.shape(0));
    if (darts >= kDeleted) throw py::value_error("polygon layout: too many darts");
    std::vector<std::int64_t> point(darts);
    std::vector<std::uint32_t> links(4 * darts);
    for (std::size_t f = 0; f < faces.count(); ++f) {
        const std::int64_t* corner = faces.begin(f);
        const auto k = static_cast<std::uint32_t>(faces.end(f) - corner);
        const auto first = static_cast<std::uint32_t>(2 * (corner - faces.corners.data()));
        for (std::uint32_t i = 0; i < k; ++i) {
            const std::uint32_t a = first + 2 * i, next = first + 2 * ((i + 1) % k);
            point[a] = corner[i];
            point[a + 1] = corner[(i + 1) % k];
            std::uint32_t* row = &links[4 * a];
            row[0] = a + 1, row[1] = first + 2 * ((i + k - 1) % k) + 1, row[2] = a, row[3] = a;
            row[4] = a, row[5] = next, row[6] = a + 1, row[7] = a + 1;
        }
    }
    sewSides(point, pointCount, links.data());
    return py::make_tuple(asArray(std::move(point)), asArray(std::move(links), 4));
}

} // namespace

void bindPolygonLayout(py::module_& m) {
    m.def(
        "polygon_layout", &polygonLayout, py::arg("corners"), py::arg("offsets"),
        py::arg("point_count"),
        "The darts of polygons (face f: corners[offsets[f]:offsets[f+1]]) as (point of each dart, "
        "(n, 4) links inside the block); ValueError naming a face with fewer than 3 corners or "
        "an index not below point_count.");
}

} // namespace gorvin::native
