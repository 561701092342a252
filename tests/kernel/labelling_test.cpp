// Islets, sub-orbits and extraction cells on random tables (involutions or not, deleted slots,
// links past the end) against the literal label sweep.
#include "fixtures.h"
#include "kernel_test.h"

#include "gorvin/core/islet.h"
#include "gorvin/core/suborbit.h"
#include "gorvin/geometry/extraction.h"

#include <algorithm>
#include <random>
#include <set>

using namespace kernel_test;

namespace {

const std::vector<std::vector<int>> kDimLists{
    {}, {0}, {1, 2}, {0, 1, 2}, {1, 2, 3}, {0, 1, 3}, {0, 1, 2, 3}, {2, 7, -1}, {3, 3, 0}};

// The vertex representatives extraction must give: the live darts that are their own label in a
// sweep over links to live darts.
std::vector<DartID> sweptVertices(const GMap& gmap) {
    const auto& darts = gmap.darts();
    std::vector<DartID> labels = ownIds(darts.size());
    for (bool changed = true; changed;) {
        changed = false;
        for (DartID i = 0; i < darts.size(); ++i)
            for (gorvin::Dim d : {1u, 2u, 3u}) {
                if (!darts[i].exists()) continue;
                const DartID y = gorvin::liveNeighbour(darts, i, d);
                if (labels[y] < labels[i]) {
                    labels[i] = labels[y];
                    changed = true;
                }
            }
    }
    std::vector<DartID> vertices;
    for (DartID i = 0; i < darts.size(); ++i)
        if (darts[i].exists() && labels[i] == i) vertices.push_back(i);
    return vertices;
}

} // namespace

KERNEL_TEST(isletsGiveTheSweptLabels) {
    std::mt19937 rng(7);
    for (int round = 0; round < 300; ++round) {
        const Fixture f = randomGMap(rng, round % 2 == 0);
        const GMap& gmap = *f.gmap;
        for (const auto& dims : kDimLists) {
            const std::vector<DartID> own = ownIds(gmap.size());
            CHECK(gorvin::isletLabels(gmap, dims) == sweptLabels(gmap, dims, own));
            std::vector<DartID> seeded(rng() % (gmap.size() + 1));
            for (DartID& label : seeded)
                label = rng() % 50;
            CHECK(gorvin::isletLabels(gmap, dims, seeded) == sweptLabels(gmap, dims, seeded));
        }
    }
}

KERNEL_TEST(subOrbitsAreTheSweptComponentsOfTheirOrbit) {
    std::mt19937 rng(11);
    for (int round = 0; round < 200; ++round) {
        const Fixture f = randomGMap(rng, true);
        const GMap& gmap = *f.gmap;
        if (gmap.size() == 0 || !gmap.exists(0)) continue;
        std::vector<DartID> orbit;
        try {
            orbit = gorvin::orbitDarts(gmap, {0, 1, 2}, 0);
        } catch (const gorvin::GorvinUnexistentDartException&) {
            continue; // the walk met a link past the table
        }
        // the smallest member each member reaches through its own orbit's links over <0, 1>
        const std::set<DartID> members(orbit.begin(), orbit.end());
        std::vector<DartID> labels = ownIds(gmap.size());
        for (bool changed = true; changed;) {
            changed = false;
            for (DartID x : orbit)
                for (int d : {0, 1}) {
                    const DartID y = gorvin::neighbour(gmap.darts(), x, d);
                    if (members.count(y) && labels[y] < labels[x]) {
                        labels[x] = labels[y];
                        changed = true;
                    }
                }
        }
        std::vector<DartID> representatives;
        for (DartID x : orbit)
            if (labels[x] == x) representatives.push_back(x);
        CHECK(gorvin::subOrbitRepresentatives(gmap, {0, 1, 2}, {0, 1}, 0) == representatives);
    }
}

KERNEL_TEST(extractedVerticesAreTheSweptOnes) {
    std::mt19937 rng(13);
    for (int round = 0; round < 300; ++round) {
        const Fixture f = randomGMap(rng, round % 2 == 0);
        CHECK(gorvin::extractGeometryCompacted3D(*f.gmap).vertices == sweptVertices(*f.gmap));
    }
}

KERNEL_TEST(theGridHasItsCells) {
    const Fixture f = grid(3);
    const gorvin::CompactedGeometry geometry = gorvin::extractGeometryCompacted3D(*f.gmap);
    CHECK(geometry.vertices.size() == 16 && geometry.faces.size() == 9);
    for (const auto& corners : geometry.faces)
        CHECK(corners.size() == 4 && std::set<DartID>(corners.begin(), corners.end()).size() == 4);
    CHECK(gorvin::extractFaces2D(*f.gmap).front() == (std::vector<DartID>{0, 2, 4, 6}));
}

// Tables whose only one-sided links lead to a smaller id: every link to a larger id returns, so
// only the count of links each way tells that the links are not involutions.
KERNEL_TEST(oneSidedLinksDownwardAreFollowed) {
    for (const auto& [from, to] : std::vector<std::pair<DartID, DartID>>{{5, 2}, {7, 0}, {3, 1}}) {
        Fixture f;
        f.gmap->makeDarts(8);
        f.gmap->linkAlpha(1, 0, 1);
        f.gmap->linkAlpha(2, 4, 6);
        f.gmap->setLink(from, 1, to);
        for (const auto& dims : kDimLists) {
            const std::vector<DartID> own = ownIds(f.gmap->size());
            CHECK(gorvin::isletLabels(*f.gmap, dims) == sweptLabels(*f.gmap, dims, own));
        }
    }
}
