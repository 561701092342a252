// Faults of a G-map's links and counts of its cells, over the live darts in increasing order.
// A link fault is a live dart whose alpha_d names no live dart or a dart that does not link back;
// a condition fault is a live dart where alpha_i alpha_j alpha_i alpha_j, for (i, j) = (0, 2),
// (0, 3), (1, 3), stays on live darts and ends elsewhere.
#include "link_summary.h"
#include "native.h"

#include "gorvin/core/islet.h"
#include "gorvin/core/union_find.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <numeric>
#include <utility>

namespace gorvin::native {

namespace {

constexpr std::array<std::pair<Dim, Dim>, 3> kConditionPairs{{{0, 2}, {0, 3}, {1, 3}}};
constexpr std::int64_t kNone = -1;

// Rows (dart, index of the pair (i, j), the dart reached). On involutions a pair with a dimension
// that links nothing holds everywhere and is skipped.
std::vector<std::int64_t> conditionFaults(const DartTable& darts, const LinkSummary& summary) {
    std::vector<std::int64_t> rows;
    std::array<bool, kConditionPairs.size()> checked{};
    for (std::size_t p = 0; p < kConditionPairs.size(); ++p) {
        const auto [a, b] = kConditionPairs[p];
        checked[p] = !summary.involutive || (summary.used[a] && summary.used[b]);
    }
    for (DartID i = 0; i < darts.size(); ++i) {
        if (!darts[i].exists()) continue;
        for (std::size_t p = 0; p < kConditionPairs.size(); ++p) {
            if (!checked[p]) continue;
            const auto [a, b] = kConditionPairs[p];
            DartID d = i;
            for (Dim dim : {a, b, a, b})
                if (live(darts, d)) d = darts[d].alpha[dim];
            if (live(darts, d) && d != i) rows.insert(rows.end(), {i, std::int64_t(p), d});
        }
    }
    return rows;
}

// (involution faults, condition faults).
py::tuple linkFaults(const GMap& gmap) {
    const DartTable& darts = gmap.darts();
    std::vector<std::int64_t> involutions;
    const LinkSummary summary(darts, [&](DartID i, Dim d, DartID j, std::int64_t back) {
        involutions.insert(involutions.end(), {i, d, j, back});
    });
    std::vector<std::int64_t> conditions = conditionFaults(darts, summary);
    return py::make_tuple(asArray(std::move(involutions), 4), asArray(std::move(conditions), 3));
}

// The number of islets over dims among the live darts when every link of a live dart is an
// involution on live darts: the live darts less the unions that join two of them.
std::size_t countJoined(const DartTable& darts, const std::vector<Dim>& dims, std::size_t liveCount,
                        std::vector<DartID>& parent) {
    parent.resize(darts.size());
    std::iota(parent.begin(), parent.end(), DartID{0});
    std::size_t unions = 0;
    for (DartID i = 0; i < darts.size(); ++i) {
        if (!darts[i].exists()) continue;
        for (Dim d : dims) {
            const DartID j = darts[i].alpha[d];
            if (j > i && uniteWithLarger(parent.data(), i, j)) ++unions;
        }
    }
    return liveCount - unions;
}

// The number of distinct islet labels over dims among the live darts, for any links.
std::size_t countLabels(const GMap& gmap, const std::vector<int>& dims,
                        std::vector<std::uint8_t>& seen) {
    const DartTable& darts = gmap.darts();
    const std::vector<DartID> labels = isletLabels(gmap, dims);
    seen.assign(darts.size(), 0);
    std::size_t count = 0;
    for (DartID i = 0; i < darts.size(); ++i) {
        if (!darts[i].exists() || seen[labels[i]]) continue;
        seen[labels[i]] = 1;
        ++count;
    }
    return count;
}

// On involutions, the dimensions that link nothing are dropped and orbits left with the same
// dimensions are counted once.
std::vector<std::size_t> cellCounts(const GMap& gmap, const std::vector<std::vector<int>>& orbits) {
    const DartTable& darts = gmap.darts();
    const LinkSummary summary(darts, [](DartID, Dim, DartID, std::int64_t) {});
    std::vector<std::size_t> counts;
    std::vector<DartID> parent;
    std::vector<std::uint8_t> seen;
    std::array<std::size_t, 1u << (kDimension + 1)> known;
    known.fill(kNoPosition);
    for (const std::vector<int>& dims : orbits) {
        const bool valid = std::all_of(dims.begin(), dims.end(), [](int d) {
            return d >= 0 && d <= static_cast<int>(kDimension);
        });
        if (!summary.involutive || !valid) {
            counts.push_back(countLabels(gmap, dims, seen));
            continue;
        }
        std::vector<Dim> linking;
        unsigned mask = 0;
        for (int d : dims)
            if (summary.used[d] && !(mask & (1u << d))) linking.push_back(d), mask |= 1u << d;
        if (known[mask] == kNoPosition)
            known[mask] = countJoined(darts, linking, summary.liveCount, parent);
        counts.push_back(known[mask]);
    }
    return counts;
}

} // namespace

void bindChecks(py::module_& m) {
    m.def(
        "link_faults", &linkFaults, py::arg("gmap"),
        "(involution faults, condition faults), by dart then dimension or pair. Involution faults "
        "are rows (dart, dim, alpha_dim(dart), its alpha_dim or -1 when it is not a live dart) "
        "where alpha_dim is not an involution; condition faults are rows (dart, pair, image) "
        "where alpha_i alpha_j alpha_i alpha_j, for the pair-th of (0, 2), (0, 3), (1, 3), leads "
        "from the live dart over live darts to another dart.");
    m.def("cell_counts", &cellCounts, py::arg("gmap"), py::arg("orbits"),
          "The number of cells (islets among the live darts) of each list of dimensions.");
}

} // namespace gorvin::native
