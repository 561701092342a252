// What the kernel tests build on: the kernel instantiated with the plain policy, the grid of
// square faces, small G-maps from literal links or random ones, and the label sweep that
// labellings must match.
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
#include <random>
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

// Up to 40 darts with random links, one-sided ones unless `involutive`, some links into slots
// dropped afterwards and some erased slots.
inline Fixture randomGMap(std::mt19937& rng, bool involutive) {
    Fixture f;
    const DartID size = rng() % 40;
    f.gmap->makeDarts(size + 3);
    for (DartID step = rng() % (3 * size + 1); step > 0; --step) {
        const gorvin::Dim d = rng() % 4;
        const DartID a = rng() % (size + 3), b = rng() % (size + 3);
        if (involutive || rng() % 2)
            f.gmap->linkAlpha(d, a, b);
        else
            f.gmap->setLink(a, d, b);
    }
    f.gmap->resize(size);
    for (DartID erased = size ? rng() % 3 : 0; erased > 0; --erased)
        f.gmap->eraseSlot(rng() % size);
    return f;
}

inline std::vector<DartID> ownIds(std::size_t n) {
    std::vector<DartID> ids(n);
    std::iota(ids.begin(), ids.end(), DartID{0});
    return ids;
}

} // namespace kernel_test
