// The darts of polygon faces before they exist in a G-map. Side i of a face with corners
// v0 .. vk-1 gets darts 2i (at vi) and 2i+1 (at vi+1); alpha0 joins the two darts of a side and
// alpha1 the two darts of a corner. Sides over the same two points are sewn dart to dart at the
// same point: for a surface along alpha2, the first two of them (later ones stay free); for volume
// cells along alpha2 the two of one cell, and along alpha3 the two of faces over the same corners,
// a third one being a fault. Links are block-relative and a free dart links to itself, so the table
// feeds append_darts as it is.
#include "native.h"

#include <algorithm>
#include <numeric>
#include <string>
#include <utility>

namespace gorvin::native {

namespace {

constexpr std::uint32_t kNoFault = ~std::uint32_t(0);

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
    if (2 * static_cast<std::size_t>(faces.corners.shape(0)) >= kDeleted)
        throw py::value_error("polygon layout: too many darts");
}

// The point of each dart and the links along alpha0 and alpha1 (alpha2 and alpha3 free).
struct Layout {
    std::vector<std::int64_t> point;
    std::vector<std::uint32_t> links;

    explicit Layout(const FaceArrays& faces)
        : point(2 * static_cast<std::size_t>(faces.corners.shape(0))), links(4 * point.size()) {
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
    }
    std::size_t sides() const { return point.size() / 2; }
    std::int64_t low(std::uint32_t s) const { return std::min(point[2 * s], point[2 * s + 1]); }
    std::int64_t high(std::uint32_t s) const { return std::max(point[2 * s], point[2 * s + 1]); }
};

// The sides side(0) .. side(count - 1), stably ordered by key(side), a number below range (a
// counting sort).
template <class Side, class Key>
std::vector<std::uint32_t> sortedBy(std::size_t count, Side side, std::size_t range, Key key) {
    std::vector<std::uint32_t> start(range + 1, 0);
    for (std::size_t i = 0; i < count; ++i)
        ++start[key(side(i)) + 1];
    std::partial_sum(start.begin(), start.end(), start.begin());
    std::vector<std::uint32_t> sorted(count);
    for (std::size_t i = 0; i < count; ++i)
        sorted[start[key(side(i))]++] = side(i);
    return sorted;
}

// All sides ordered by their smaller point, then their larger one, then their number.
std::vector<std::uint32_t> sidesByPoints(const Layout& layout, std::size_t pointCount) {
    std::vector<std::uint32_t> sides = sortedBy(
        layout.sides(), [](std::size_t s) { return static_cast<std::uint32_t>(s); }, pointCount,
        [&](std::uint32_t s) { return layout.low(s); });
    for (auto first = sides.begin(), last = first; first != sides.end(); first = last) {
        last = std::find_if(first, sides.end(),
                            [&](std::uint32_t s) { return layout.low(s) != layout.low(*first); });
        std::stable_sort(first, last, [&](std::uint32_t a, std::uint32_t b) {
            return layout.high(a) < layout.high(b);
        });
    }
    return sides;
}

// Sews along dim the first two of each run of sides (in the order given) over the same group and
// points, dart to dart at the same point. With strict, a run of three or more stops the sewing and
// gives the dart at the smaller point of its first side; kNoFault otherwise.
std::uint32_t sewRuns(Layout& layout, const std::vector<std::uint32_t>& sides,
                      const std::vector<std::uint32_t>& group, unsigned dim, bool strict) {
    auto groupOf = [&](std::uint32_t s) { return group.empty() ? 0 : group[s]; };
    for (std::size_t i = 0, j; i < sides.size(); i = j) {
        const std::int64_t low = layout.low(sides[i]), high = layout.high(sides[i]);
        const std::uint32_t run = groupOf(sides[i]);
        for (j = i + 1; j < sides.size() && layout.low(sides[j]) == low &&
                        layout.high(sides[j]) == high && groupOf(sides[j]) == run;
             ++j) {
        }
        const std::uint32_t a = 2 * sides[i];
        if (strict && j - i > 2) return layout.point[a] == low ? a : a + 1;
        if (j - i < 2) continue;
        const std::uint32_t b = 2 * sides[i + 1];
        const std::uint32_t crossed = layout.point[a] == layout.point[b] ? 0 : 1;
        std::uint32_t* links = layout.links.data();
        links[4 * a + dim] = b + crossed;
        links[4 * (b + crossed) + dim] = a;
        links[4 * (a + 1) + dim] = b + 1 - crossed;
        links[4 * (b + 1 - crossed) + dim] = a + 1;
    }
    return kNoFault;
}

// The sides ordered by group, then as given.
std::vector<std::uint32_t> sidesByGroup(const std::vector<std::uint32_t>& sides,
                                        const std::vector<std::uint32_t>& group) {
    const std::uint32_t range = group.empty() ? 0 : *std::max_element(group.begin(), group.end());
    return sortedBy(
        sides.size(), [&](std::size_t i) { return sides[i]; }, std::size_t(range) + 1,
        [&](std::uint32_t s) { return group[s]; });
}

// For each face, the number of its corner set among all, numbered in the order of the sets (each
// sorted, compared lexicographically).
std::vector<std::uint32_t> cornerSets(const FaceArrays& faces) {
    std::vector<std::int64_t> sorted(faces.corners.data(),
                                     faces.corners.data() + faces.corners.shape(0));
    const std::int64_t* offsets = faces.offsets.data();
    auto set = [&](std::size_t f) {
        return std::make_pair(sorted.begin() + offsets[f], sorted.begin() + offsets[f + 1]);
    };
    auto before = [&](std::uint32_t f, std::uint32_t g) {
        const auto [a, aEnd] = set(f);
        const auto [b, bEnd] = set(g);
        return std::lexicographical_compare(a, aEnd, b, bEnd);
    };
    std::vector<std::uint32_t> order(faces.count());
    for (std::uint32_t f = 0; f < order.size(); ++f) {
        const auto [first, last] = set(f);
        std::sort(first, last);
        order[f] = f;
    }
    std::sort(order.begin(), order.end(), before);
    std::vector<std::uint32_t> number(faces.count());
    for (std::size_t i = 1; i < order.size(); ++i)
        number[order[i]] = number[order[i - 1]] + (before(order[i - 1], order[i]) ? 1 : 0);
    return number;
}

// The value of each face's entry for each of its sides.
std::vector<std::uint32_t> perSide(const FaceArrays& faces,
                                   const std::vector<std::uint32_t>& value) {
    std::vector<std::uint32_t> sides(static_cast<std::size_t>(faces.corners.shape(0)));
    for (std::size_t f = 0; f < faces.count(); ++f)
        std::fill(sides.begin() + faces.offsets.data()[f],
                  sides.begin() + faces.offsets.data()[f + 1], value[f]);
    return sides;
}

// (point of each dart, (n, 4) block-relative links) for the faces of a surface.
py::tuple polygonLayout(py::array_t<std::int64_t, kIdArray> corners,
                        py::array_t<std::int64_t, kIdArray> offsets, std::int64_t pointCount) {
    const FaceArrays faces = checkedFaces(std::move(corners), std::move(offsets));
    checkFaces(faces, pointCount);
    Layout layout(faces);
    sewRuns(layout, sidesByPoints(layout, static_cast<std::size_t>(pointCount)), {}, 2, false);
    return py::make_tuple(asArray(std::move(layout.point)), asArray(std::move(layout.links), 4));
}

// (point of each dart, (n, 4) block-relative links, fault) for the faces of volume cells, the cell
// of face f being cells[f]; fault is None, or (dim, dart) for a dart whose side is one of three or
// more over the same points: in one cell (dim 2), or in faces over the same corners (dim 3).
py::tuple volumeLayout(py::array_t<std::int64_t, kIdArray> corners,
                       py::array_t<std::int64_t, kIdArray> offsets,
                       py::array_t<std::int64_t, kIdArray> cells, std::int64_t pointCount) {
    const FaceArrays faces = checkedFaces(std::move(corners), std::move(offsets));
    checkFaces(faces, pointCount);
    if (cells.ndim() != 1 || static_cast<std::size_t>(cells.shape(0)) != faces.count() ||
        std::any_of(cells.data(), cells.data() + cells.shape(0),
                    [](std::int64_t c) { return c < 0 || c >= std::int64_t(kDeleted); }))
        throw py::value_error("volume layout: cells must give each face a cell number");
    Layout layout(faces);
    const std::vector<std::uint32_t> byPoints =
        sidesByPoints(layout, static_cast<std::size_t>(pointCount));
    const std::vector<std::uint32_t> cell =
        perSide(faces, std::vector<std::uint32_t>(cells.data(), cells.data() + cells.shape(0)));
    const std::vector<std::uint32_t> set = perSide(faces, cornerSets(faces));
    py::object fault = py::none();
    for (const auto& [dim, group] : {std::make_pair(2u, &cell), std::make_pair(3u, &set)}) {
        const std::uint32_t dart =
            sewRuns(layout, sidesByGroup(byPoints, *group), *group, dim, true);
        if (dart != kNoFault) {
            fault = py::make_tuple(dim, dart);
            break;
        }
    }
    return py::make_tuple(asArray(std::move(layout.point)), asArray(std::move(layout.links), 4),
                          fault);
}

} // namespace

void bindPolygonLayout(py::module_& m) {
    m.def(
        "polygon_layout", &polygonLayout, py::arg("corners"), py::arg("offsets"),
        py::arg("point_count"),
        "The darts of polygons (face f: corners[offsets[f]:offsets[f+1]]) as (point of each dart, "
        "(n, 4) links inside the block); ValueError naming a face with fewer than 3 corners or "
        "an index not below point_count.");
    m.def("volume_layout", &volumeLayout, py::arg("corners"), py::arg("offsets"), py::arg("cells"),
          py::arg("point_count"),
          "The darts of the faces of volume cells (face f: corners[offsets[f]:offsets[f+1]], of "
          "cell cells[f]), sewn along alpha2 inside each cell and along alpha3 across faces over "
          "the same corners, as (point of each dart, (n, 4) links inside the block, fault): fault "
          "is None, or (dim, dart) for the first dart whose edge has three or more sides to sew "
          "there. ValueError as polygon_layout.");
}

} // namespace gorvin::native
