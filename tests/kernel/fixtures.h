// What the kernel tests build on: the kernel instantiated with the plain policy, the grid of
// square faces, small G-maps from literal links, and the label sweep that labellings must match.
#pragma once

#include "grid.h"

#include "gorvin/core/dart.h"
#include "gorvin/core/gmap.h"
#include "gorvin/core/modeler.h"
#include "gorvin/core/neighbour.h"
#include "gorvin/core/plain_embedding.h"

#include <array>
#include <memory>
#include <numeric>
#include <vector>

namespace kernel_test {

using Modeler = gorvin::IModeler<gorvin::PlainEmbedding>;
using GMap = gorvin::IGMap<gorvin::PlainEmbedding>;
using gorvin::DartID;

struct Fixture {
    std::shared_ptr<Modeler> modeler = std::make_shared<Modeler>();
    std::shared_ptr<GMap> gmap = modeler->makeGMap();
};

// The k x k grid of square faces on a new G-map.
inline Fixture grid(std::uint32_t k) {
    Fixture f;
    f.gmap->makeDarts(bench::gridDarts(k));
    bench::forEachGridLink(k, [&](unsigned d, DartID a, DartID b) { f.gmap->linkAlpha(d, a, b); });
    return f;
}

// The links of every slot, for comparing whole tables.
inline std::vector<std::array<DartID, 5>> table(const GMap& gmap) {
    std::vector<std::array<DartID, 5>> rows;
    for (const gorvin::IDart& dart : gmap.darts())
        rows.push_back({dart.id, dart.alpha[0], dart.alpha[1], dart.alpha[2], dart.alpha[3]});
    return rows;
}

// Repeated sweeps "take a smaller label of a neighbour" until nothing changes: the labelling
// every islet must give. A neighbour past the labels has no label.
inline std::vector<DartID> sweptLabels(const GMap& gmap, const std::vector<int>& dims,
                                       std::vector<DartID> labels) {
    for (bool changed = true; changed;) {
        changed = false;
        for (DartID i = 0; i < labels.size(); ++i)
            for (int d : dims) {
                const DartID y = gorvin::neighbour(gmap.darts(), i, d);
                if (y < labels.size() && labels[y] < labels[i]) {
                    labels[i] = labels[y];
                    changed = true;
                }
            }
    }
    return labels;
}

inline std::vector<DartID> ownIds(std::size_t n) {
    std::vector<DartID> ids(n);
    std::iota(ids.begin(), ids.end(), DartID{0});
    return ids;
}

} // namespace kernel_test
