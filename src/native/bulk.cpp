// Whole-array access to a GMap3D: the link table, the links of given darts, the live mask, many
// links at once, darts appended already linked, the positions of many darts and cell labels.
// Every id is checked before anything changes.
#include "native.h"

#include "gorvin/core/islet.h"

#include <pybind11/numpy.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace gorvin::native {

namespace {

// The dart table as (n, 4) links; deleted slots hold the deleted marker.
py::array_t<std::uint32_t> links(const GMap& gmap) {
    const auto& darts = gmap.darts();
    py::array_t<std::uint32_t> out({static_cast<py::ssize_t>(darts.size()), py::ssize_t{4}});
    std::uint32_t* row = out.mutable_data();
    for (const IDart& dart : darts) {
        for (Dim d = 0; d <= kDimension; ++d)
            row[d] = dart.alpha[d];
        row += 4;
    }
    return out;
}

// The links of the given darts as (n, 4), every id checked first.
py::array_t<std::uint32_t> dartLinks(const GMap& gmap, const Ids& darts) {
    const std::vector<DartID> ids = checkedIds(gmap, darts);
    py::array_t<std::uint32_t> out({static_cast<py::ssize_t>(ids.size()), py::ssize_t{4}});
    std::uint32_t* row = out.mutable_data();
    for (const DartID id : ids) {
        for (Dim d = 0; d <= kDimension; ++d)
            row[d] = gmap.darts()[id].alpha[d];
        row += 4;
    }
    return out;
}

py::array_t<bool> liveMask(const GMap& gmap) {
    const auto& darts = gmap.darts();
    py::array_t<bool> out(static_cast<py::ssize_t>(darts.size()));
    bool* live = out.mutable_data();
    for (const IDart& dart : darts)
        *live++ = dart.exists();
    return out;
}

// linkAlpha(dim, a[i], b[i]) for every i, in order; every id is checked first.
void linkPairs(GMap& gmap, Dim dim, const Ids& a, const Ids& b) {
    if (a.size() != b.size())
        throw py::value_error("link_pairs: " + std::to_string(a.size()) + " first darts but " +
                              std::to_string(b.size()) + " second darts");
    const std::vector<DartID> first = checkedIds(gmap, a);
    const std::vector<DartID> second = checkedIds(gmap, b);
    if (dim > kDimension) return;
    Bulk bulk(gmap);
    for (std::size_t i = 0; i < first.size(); ++i)
        bulk.link(dim, first[i], second[i]);
}

// Appends len(links) darts; dart first + i links to first + links[i, d] along d. The links must be
// involutions inside the new block (links[links[i, d], d] == i). Returns first.
template <class Id, int Flags>
DartID appendLinkedTable(GMap& gmap, const py::array_t<Id, Flags>& links,
                         std::optional<Points> points, std::optional<Ids> rows) {
    if (links.ndim() != 2 || links.shape(1) != 4)
        throw py::value_error("append_darts: links must have shape (n, 4)");
    const auto n = static_cast<std::uint64_t>(links.shape(0));
    const Id* table = links.data();
    for (std::uint64_t i = 0; i < 4 * n; ++i) {
        const Id j = table[i];
        const bool inside = static_cast<std::int64_t>(j) >= 0 && static_cast<std::uint64_t>(j) < n;
        if (!inside || static_cast<std::uint64_t>(table[4 * j + i % 4]) != i / 4)
            throw py::value_error("append_darts: new dart " + std::to_string(i / 4) + " links to " +
                                  std::to_string(j) + " along " + std::to_string(i % 4) +
                                  ", which is not a new dart linking back to it");
    }
    std::optional<PointRows> positions;
    if (points) positions.emplace(std::move(*points), std::move(rows), n, "append_darts");
    const DartID first = Bulk(gmap).appendLinked(
        n, [&](std::uint64_t i, Dim d) { return static_cast<DartID>(table[4 * i + d]); });
    if (positions) storeNewPositions(gmap, first, *positions);
    return first;
}

// C-ordered uint32 tables are read as they are, any other integers as int64.
DartID appendLinked(GMap& gmap, const py::object& links, std::optional<Points> points,
                    std::optional<Ids> rows) {
    if (rows && !points) throw py::value_error("append_darts: rows need points");
    using Exact = py::array_t<std::uint32_t, py::array::c_style>;
    if (py::isinstance<Exact>(links))
        return appendLinkedTable(gmap, Exact::ensure(links), std::move(points), std::move(rows));
    const auto table = py::array_t<std::int64_t, kIdArray>::ensure(links);
    if (!table) throw py::error_already_set();
    return appendLinkedTable(gmap, table, std::move(points), std::move(rows));
}

py::array_t<DartID> cellLabels(const GMap& gmap, const std::vector<int>& dims) {
    return asArray(isletLabels(gmap, dims));
}

} // namespace

void bindBulk(py::module_& m) {
    m.def("links", &links, py::arg("gmap"),
          "The link table: row i holds alpha0..alpha3 of slot i (deleted slots: all 4294967295).");
    m.def("dart_links", &dartLinks, py::arg("gmap"), py::arg("darts"),
          "The links of the given darts: row i holds alpha0..alpha3 of darts[i].");
    m.def("live_mask", &liveMask, py::arg("gmap"), "True for every slot that holds a live dart.");
    m.def("link_pairs", &linkPairs, py::arg("gmap"), py::arg("dim"), py::arg("a"), py::arg("b"),
          "linkAlpha(dim, a[i], b[i]) for every i, in order, once every id is checked.");
    m.def("append_darts", &appendLinked, py::arg("gmap"), py::arg("links"),
          py::arg("points") = py::none(), py::arg("rows") = py::none(),
          "Appends len(links) darts linked inside the new block (links[i, d] is the new dart that "
          "new dart i links to along d); returns the id of the first. With points, new dart i gets "
          "the position points[rows[i]] (points[i] without rows) in a <1,2,3> dict of its own.");
    m.def("cell_labels", &cellLabels, py::arg("gmap"), py::arg("dims"),
          "The islet labels over dims of every slot: the smallest id of each dart's cell.");
}

} // namespace gorvin::native
