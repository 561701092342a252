// The neighbour rule and orbit walks: faces and surfaces of the grid, the whole-map marker,
// one-sided links that send a walk to its general form, links that leave the table, and walks of
// random tables against plain reachability.
#include "fixtures.h"
#include "kernel_test.h"

#include "gorvin/core/exceptions.h"
#include "gorvin/core/orbit.h"
#include "gorvin/core/suborbit.h"

#include <algorithm>
#include <random>

using namespace kernel_test;
using gorvin::kDeleted;
using gorvin::kWholeMap;

KERNEL_TEST(neighbourFollowsLinksAndLeadsOtherEntriesToTheDartItself) {
    Fixture f = grid(1);
    f.gmap->eraseSlot(3);
    const auto& darts = f.gmap->darts();
    CHECK(gorvin::neighbour(darts, 2, 0) == 3 && gorvin::neighbour(darts, 2, 1) == 1);
    CHECK(gorvin::neighbour(darts, 2, 7) == 2 && gorvin::neighbour(darts, 2, -1) == 2);
    CHECK(gorvin::neighbour(darts, 3, 0) == kDeleted && gorvin::neighbour(darts, 3, 7) == kDeleted);
    CHECK(gorvin::liveNeighbour(darts, 2, 0) == 2 && gorvin::liveNeighbour(darts, 2, 1) == 1);
}

KERNEL_TEST(orbitsOfTheGrid) {
    Fixture f = grid(3);
    for (DartID face = 0; face < 9; ++face) {
        std::vector<DartID> expected(8);
        std::iota(expected.begin(), expected.end(), 8 * face);
        CHECK(gorvin::orbitDarts(*f.gmap, {0, 1}, 8 * face + 5) == expected);
        CHECK(gorvin::orbitDarts(*f.gmap, {1, 0, 7, 1}, 8 * face) == expected);
    }
    CHECK(gorvin::orbitDarts(*f.gmap, {0, 1, 2}, 40) == ownIds(72));
    CHECK(gorvin::orbitDarts(*f.gmap, {-1}, 40) == std::vector<DartID>{40});
    CHECK(gorvin::orbitDarts(*f.gmap, {}, 1000) == std::vector<DartID>{1000});
    f.gmap->eraseSlot(5);
    std::vector<DartID> live = ownIds(72);
    live.erase(live.begin() + 5);
    CHECK(gorvin::orbitDarts(*f.gmap, {0, kWholeMap}, 0) == live);
}

// Faces of many edges, closed and open, walked from either end and the middle, after darts
// already in the list.
KERNEL_TEST(longCyclesAndPathsAreWalkedWhole) {
    for (const bool closed : {true, false})
        for (const DartID edges : {31u, 32u, 33u, 500u}) {
            Fixture f;
            f.gmap->makeDarts(2 * edges);
            for (DartID e = 0; e < edges; ++e) {
                f.gmap->linkAlpha(0, 2 * e, 2 * e + 1);
                if (closed || e + 1 < edges)
                    f.gmap->linkAlpha(1, 2 * e + 1, (2 * e + 2) % (2 * edges));
            }
            for (const DartID start : {DartID{0}, edges, 2 * edges - 1}) {
                std::vector<DartID> out{99};
                gorvin::appendOrbit(*f.gmap, {0, 1}, start, out);
                CHECK(out[0] == 99);
                std::sort(out.begin() + 1, out.end());
                CHECK(std::vector<DartID>(out.begin() + 1, out.end()) == ownIds(2 * edges));
            }
        }
}

KERNEL_TEST(aOneSidedLinkIsFollowedOneWay) {
    Fixture f = grid(1);
    f.gmap->makeDarts(1);
    f.gmap->setLink(0, 1, 8); // 7 still names 0; 0 names 8 instead
    CHECK(gorvin::orbitDarts(*f.gmap, {0, 1}, 0) == ownIds(9));
    CHECK(gorvin::orbitDarts(*f.gmap, {0, 1}, 8) == std::vector<DartID>{8});
}

KERNEL_TEST(aWalkThatLeavesTheTableThrowsAndAddsNothing) {
    Fixture f = grid(1);
    f.gmap->resize(7); // darts 0 and 6 still name the dropped dart 7
    std::vector<DartID> out{99};
    CHECK_THROWS(gorvin::GorvinUnexistentDartException,
                 gorvin::appendOrbit(*f.gmap, {0, 1}, 2, out));
    CHECK(out == std::vector<DartID>{99});
    CHECK_THROWS(gorvin::GorvinUnexistentDartException, gorvin::appendOrbit(*f.gmap, {0}, 7, out));
    gorvin::appendOrbit(*f.gmap, {0}, 2, out);
    CHECK((out == std::vector<DartID>{99, 2, 3} || out == std::vector<DartID>{99, 3, 2}));
}

KERNEL_TEST(subOrbitsOfTheSurfaceAreItsFaces) {
    Fixture f = grid(3);
    std::vector<DartID> faces;
    for (DartID face = 0; face < 9; ++face)
        faces.push_back(8 * face);
    CHECK(gorvin::subOrbitRepresentatives(*f.gmap, {0, 1, 2}, {0, 1}, 17) == faces);
    CHECK(gorvin::subOrbitRepresentatives(*f.gmap, {0, 1}, {0}, 9) ==
          (std::vector<DartID>{8, 10, 12, 14}));
}

namespace {

// Every dart reachable from start by following the links of dims, each once, ascending; throws
// where a link names no slot.
std::vector<DartID> reachable(const GMap& gmap, const std::vector<int>& dims, DartID start) {
    std::vector<DartID> found{start};
    std::vector<bool> seen(gmap.size());
    seen[start] = true;
    for (std::size_t next = 0; next < found.size(); ++next)
        for (int d : dims) {
            const DartID y = gorvin::neighbour(gmap.darts(), found[next], d);
            if (y >= gmap.size()) throw gorvin::GorvinUnexistentDartException{};
            if (!seen[y]) found.push_back(y);
            seen[y] = true;
        }
    std::sort(found.begin(), found.end());
    return found;
}

} // namespace

KERNEL_TEST(orbitsOfRandomTablesAreTheReachableDarts) {
    std::mt19937 rng(17);
    const std::vector<std::vector<int>> dimLists{{0}, {2, 2}, {0, 1}, {1, 0}, {0, 3}, {1, 2, 3}};
    for (int round = 0; round < 300; ++round) {
        const Fixture f = randomGMap(rng, round % 3 != 0);
        for (DartID start = 0; start < f.gmap->size(); ++start)
            for (const auto& dims : dimLists) {
                std::vector<DartID> expected;
                try {
                    expected = reachable(*f.gmap, dims, start);
                } catch (const gorvin::GorvinUnexistentDartException&) {
                    CHECK_THROWS(gorvin::GorvinUnexistentDartException,
                                 gorvin::orbitDarts(*f.gmap, dims, start));
                    continue;
                }
                CHECK(gorvin::orbitDarts(*f.gmap, dims, start) == expected);
            }
    }
}
