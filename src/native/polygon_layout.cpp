// The darts of polygon faces before they exist in a G-map. Side i of a face with corners
// v0 .. vk-1 gets darts 2i (at vi) and 2i+1 (at vi+1); alpha0 joins the two darts of a side and
// alpha1 the two darts of a corner. Sides over the same two points are sewn dart to dart at the
// same point: for a surface along alpha2, the first two of them (later ones stay free); for volume
// cells along alpha2 the two of one cell, and along alpha3 the two of faces over the same corners,
// a third one being a fault. Links are block-relative and a free dart links to itself, so the table
// feeds append_darts as it is.
#include "native.h"

#include <algorithm>
#include <array>
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

// The links of the darts of side i (of k) of a face whose first dart is `first`, block-relative,
// along alpha0 and alpha1 (alpha2 and alpha3 free): {dart 2i, dart 2i + 1}.
std::array<std::array<std::uint32_t, 4>, 2> sideLinks(std::uint32_t first, std::uint32_t i,
                                                      std::uint32_t k) {
    const std::uint32_t a = first + 2 * i;
    return {{{a + 1, first + 2 * ((i + k - 1) % k) + 1, a, a},
             {a, first + 2 * ((i + 1) % k), a + 1, a + 1}}};
}

// The point of each dart, and with `withLinks` its links along alpha0 and alpha1 (alpha2 and
// alpha3 free) as (n, 4) block-relative rows.
struct Layout {
    std::vector<std::int64_t> point;
    std::vector<std::uint32_t> links;

    explicit Layout(const FaceArrays& faces, bool withLinks = true)
        : point(2 * static_cast<std::size_t>(faces.corners.shape(0))),
          links(withLinks ? 4 * point.size() : 0) {
        for (std::size_t f = 0; f < faces.count(); ++f) {
            const std::int64_t* corner = faces.begin(f);
            const auto k = static_cast<std::uint32_t>(faces.end(f) - corner);
            const auto first = static_cast<std::uint32_t>(2 * (corner - faces.corners.data()));
            for (std::uint32_t i = 0; i < k; ++i) {
                const std::uint32_t a = first + 2 * i;
                point[a] = corner[i];
                point[a + 1] = corner[(i + 1) % k];
                if (!withLinks) continue;
                const auto both = sideLinks(first, i, k);
                std::copy(both[0].begin(), both[0].end(), &links[4 * a]);
                std::copy(both[1].begin(), both[1].end(), &links[4 * a + 4]);
            }
        }
    }
    std::size_t sides() const { return point.size() / 2; }
    std::int64_t low(std::uint32_t s) const { return std::min(point[2 * s], point[2 * s + 1]); }
    std::int64_t high(std::uint32_t s) const { return std::max(point[2 * s], point[2 * s + 1]); }
    // What sewRuns writes the table's block-relative links through.
    auto tableLinks() {
        return [this](std::uint32_t dart, unsigned dim, std::uint32_t target) {
            links[4 * dart + dim] = target;
        };
    }
};

// The alpha0 and alpha1 links of the darts of the faces, new dart i being block dart i, for
// darts appended already linked: asked in dart order, it walks the faces along.
class FaceLinks {
  public:
    FaceLinks(const FaceArrays& faces, DartID first) : faces_(faces), first_(first) {}

    std::array<DartID, kDimension + 1> operator()(std::size_t dart) {
        const std::size_t side = dart / 2;
        const std::int64_t* offsets = faces_.offsets.data();
        if (side < std::size_t(offsets[face_]))
            face_ = std::size_t(std::upper_bound(offsets, offsets + faces_.count() + 1,
                                                 std::int64_t(side)) -
                                offsets) -
                    1;
        while (side >= std::size_t(offsets[face_ + 1]))
            ++face_;
        const auto k = static_cast<std::uint32_t>(offsets[face_ + 1] - offsets[face_]);
        const auto links =
            sideLinks(static_cast<std::uint32_t>(2 * offsets[face_]),
                      static_cast<std::uint32_t>(side - offsets[face_]), k)[dart % 2];
        return {first_ + links[0], first_ + links[1], first_ + links[2], first_ + links[3]};
    }

  private:
    const FaceArrays& faces_;
    DartID first_;
    std::size_t face_ = 0;
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

// Sews along dim, with link(dart, dim, target) writing each block-relative link, the first two of
// each run of sides (in the order given) over the same group and
// points, dart to dart at the same point. With strict, a run of three or more stops the sewing and
// gives the dart at the smaller point of its first side; kNoFault otherwise.
template <class Link>
std::uint32_t sewRuns(const Layout& layout, const std::vector<std::uint32_t>& sides,
                      const std::vector<std::uint32_t>& group, unsigned dim, bool strict,
                      Link&& link) {
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
        link(a, dim, b + crossed);
        link(b + crossed, dim, a);
        link(a + 1, dim, b + 1 - crossed);
        link(b + 1 - crossed, dim, a + 1);
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
    sewRuns(layout, sidesByPoints(layout, static_cast<std::size_t>(pointCount)), {}, 2, false,
            layout.tableLinks());
    return py::make_tuple(asArray(std::move(layout.point)), asArray(std::move(layout.links), 4));
}

// polygonLayout's darts appended to gmap, linked as they are made and sewn in place, each with
// the position of its point: no table of links. Returns (first new dart, point of each dart).
py::tuple addPolygons(GMap& gmap, py::array_t<std::int64_t, kIdArray> corners,
                      py::array_t<std::int64_t, kIdArray> offsets, Points points) {
    const FaceArrays faces = checkedFaces(std::move(corners), std::move(offsets));
    if (points.ndim() != 2 || points.shape(1) != 3)
        throw py::value_error("add_polygons: points must have shape (n, 3)");
    const auto pointCount = static_cast<std::int64_t>(points.shape(0));
    checkFaces(faces, pointCount);
    Layout layout(faces, false);
    const std::vector<std::uint32_t> sides =
        sidesByPoints(layout, static_cast<std::size_t>(pointCount));
    const std::size_t darts = layout.point.size();
    const auto first = static_cast<DartID>(gmap.size());
    gmap.makeDarts(darts, FaceLinks(faces, first)); // throws, adding nothing, past the last id
    sewRuns(layout, sides, {}, 2, false, [&](std::uint32_t dart, unsigned dim, DartID target) {
        gmap.setLink(first + dart, dim, first + target);
    });
    const py::array_t<std::int64_t> vertex = asArray(std::move(layout.point));
    PointRows positions(std::move(points), Ids::ensure(vertex), darts, "add_polygons");
    storeNewPositions(gmap, first, positions);
    return py::make_tuple(first, vertex);
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
            sewRuns(layout, sidesByGroup(byPoints, *group), *group, dim, true, layout.tableLinks());
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
    m.def(
        "add_polygons", &addPolygons, py::arg("gmap"), py::arg("corners"), py::arg("offsets"),
        py::arg("points"),
        "Appends the darts of polygon_layout to gmap, sewn along alpha2 as it sews them, new dart "
        "i at the position points[point[i]] in a <1,2,3> dict of its own, without making the "
        "table of links; returns (first new dart, point of each dart). ValueError as "
        "polygon_layout.");
    m.def("volume_layout", &volumeLayout, py::arg("corners"), py::arg("offsets"), py::arg("cells"),
          py::arg("point_count"),
          "The darts of the faces of volume cells (face f: corners[offsets[f]:offsets[f+1]], of "
          "cell cells[f]), sewn along alpha2 inside each cell and along alpha3 across faces over "
          "the same corners, as (point of each dart, (n, 4) links inside the block, fault): fault "
          "is None, or (dim, dart) for the first dart whose edge has three or more sides to sew "
          "there. ValueError as polygon_layout.");
}

} // namespace gorvin::native
