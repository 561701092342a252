// Faults of a G-map's links and counts of its cells, over the live darts in increasing order.
// A link fault is a live dart whose alpha_d names no live dart or a dart that does not link back;
// a condition fault is a live dart where alpha_i alpha_j alpha_i alpha_j, for (i, j) = (0, 2),
// (0, 3), (1, 3), stays on live darts and ends elsewhere.
#include "native.h"

#include "gorvin/core/islet.h"

#include <array>
#include <cstdint>
#include <utility>

namespace gorvin::native {

namespace {

constexpr std::array<std::pair<Dim, Dim>, 3> kConditionPairs{{{0, 2}, {0, 3}, {1, 3}}};
constexpr std::int64_t kNone = -1;

bool live(const DartTable& darts, DartID d) {
    return d < darts.size() && darts[d].exists();
}

// Rows (dart, dim, neighbour, neighbour's link back or -1 when the neighbour is not live).
py::array_t<std::int64_t> involutionFaults(const GMap& gmap) {
    const DartTable& darts = gmap.darts();
    std::vector<std::int64_t> rows;
    for (DartID i = 0; i < darts.size(); ++i) {
        if (!darts[i].exists()) continue;
        for (Dim d = 0; d <= kDimension; ++d) {
            const DartID j = darts[i].alpha[d];
            const bool target = live(darts, j);
            if (target && darts[j].alpha[d] == i) continue;
            rows.insert(rows.end(), {i, d, j, target ? std::int64_t{darts[j].alpha[d]} : kNone});
        }
    }
    return asArray(std::move(rows), 4);
}

// Rows (dart, index of the pair (i, j), the dart reached).
py::array_t<std::int64_t> conditionFaults(const GMap& gmap) {
    const DartTable& darts = gmap.darts();
    std::vector<std::int64_t> rows;
    for (DartID i = 0; i < darts.size(); ++i) {
        if (!darts[i].exists()) continue;
        for (std::size_t p = 0; p < kConditionPairs.size(); ++p) {
            const auto [a, b] = kConditionPairs[p];
            DartID d = i;
            for (Dim dim : {a, b, a, b})
                if (live(darts, d)) d = darts[d].alpha[dim];
            if (live(darts, d) && d != i) rows.insert(rows.end(), {i, std::int64_t(p), d});
        }
    }
    return asArray(std::move(rows), 3);
}

// The number of distinct islet labels over each list of dimensions among the live darts.
std::vector<std::size_t> cellCounts(const GMap& gmap, const std::vector<std::vector<int>>& orbits) {
    const DartTable& darts = gmap.darts();
    std::vector<std::size_t> counts;
    std::vector<std::uint8_t> seen;
    for (const std::vector<int>& dims : orbits) {
        const std::vector<DartID> labels = isletLabels(gmap, dims);
        seen.assign(darts.size(), 0);
        std::size_t count = 0;
        for (DartID i = 0; i < darts.size(); ++i) {
            if (!darts[i].exists() || seen[labels[i]]) continue;
            seen[labels[i]] = 1;
            ++count;
        }
        counts.push_back(count);
    }
    return counts;
}

} // namespace

void bindChecks(py::module_& m) {
    m.def("involution_faults", &involutionFaults, py::arg("gmap"),
          "Rows (dart, dim, alpha_dim(dart), its alpha_dim or -1 when it is not a live dart), one per "
          "live dart and dimension where alpha_dim is not an involution, by dart then dim.");
    m.def("condition_faults", &conditionFaults, py::arg("gmap"),
          "Rows (dart, pair, image): alpha_i alpha_j alpha_i alpha_j for the pair-th of (0, 2), "
          "(0, 3), (1, 3) leads from the live dart over live darts to another dart.");
    m.def("cell_counts", &cellCounts, py::arg("gmap"), py::arg("orbits"),
          "The number of cells (islets among the live darts) of each list of dimensions.");
}

} // namespace gorvin::native
