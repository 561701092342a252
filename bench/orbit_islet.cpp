// Kernel timings of orbits, sub-orbits and islets on the k x k grid and on a long alpha0/alpha1
// chain whose ids run 0, n-1, n-2, ..., 1 along it (slow for repeated label sweeps).
// Build and run from the repository root:
//   cmake -S bench -B build/bench && cmake --build build/bench --target orbit_islet
//   build/bench/orbit_islet [k = 1000] [n = 1000000] [sweep chain = 10000]
#include "harness.h"

#include "gorvin/core/islet.h"
#include "gorvin/core/modeler.h"
#include "gorvin/core/neighbour.h"
#include "gorvin/core/orbit.h"
#include "gorvin/core/plain_embedding.h"
#include "gorvin/core/suborbit.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <numeric>
#include <vector>

namespace {

using Modeler = gorvin::IModeler<gorvin::PlainEmbedding>;
using GMap = gorvin::IGMap<gorvin::PlainEmbedding>;
using gorvin::DartID;

template <class Work> void timed(const char* what, Work work) {
    const auto start = std::chrono::steady_clock::now();
    const std::size_t result = work();
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    std::printf("%-44s %9.3f s   (%zu)\n", what, seconds.count(), result);
}

void buildGrid(GMap& gmap, DartID k) {
    gmap.resize(bench::gridDarts(k));
    bench::forEachGridLink(k, [&](unsigned dim, DartID a, DartID b) { gmap.linkAlpha(dim, a, b); });
}

// The darts 0, n-1, n-2, ..., 1 in chain order, linked alternately by alpha0 and alpha1; with
// `oneWay`, each link points only towards the next dart of the chain.
void buildChain(GMap& gmap, DartID n, bool oneWay) {
    gmap.resize(n);
    for (DartID step = 0; step + 1 < n; ++step) {
        const DartID a = step == 0 ? 0 : n - step, b = n - step - 1;
        if (oneWay)
            gmap.setLink(a, step % 2, b);
        else
            gmap.linkAlpha(step % 2, a, b);
    }
}

// Repeated full label sweeps, the plain way to compute an islet, for comparison; returns the
// number of sweeps.
std::size_t sweptIslet(const GMap& gmap, const std::vector<int>& dims) {
    std::vector<DartID> labels(gmap.size());
    std::iota(labels.begin(), labels.end(), DartID{0});
    std::size_t sweeps = 0;
    for (bool changed = true; changed; ++sweeps) {
        changed = false;
        for (DartID i = 0; i < labels.size(); ++i) {
            const DartID low = labels[i];
            for (int d : dims) {
                const DartID y = gorvin::neighbour(gmap.darts(), i, d);
                if (y < labels.size() && labels[y] < low) {
                    labels[i] = labels[y];
                    changed = true;
                }
            }
        }
    }
    return sweeps;
}

void measureGrid(Modeler& modeler, DartID k) {
    GMap& gmap = *modeler.makeGMap();
    std::printf("grid %u x %u (%u darts)\n", k, k, 8 * k * k);
    timed("build (resize + linkAlpha)", [&] {
        buildGrid(gmap, k);
        return gmap.size();
    });
    timed("<0,1> orbit of every face", [&] {
        std::size_t total = 0;
        for (DartID f = 0; f < k * k; ++f)
            total += gorvin::orbitDarts(gmap, {0, 1}, 8 * f).size();
        return total;
    });
    timed("<0,1,2> orbit of the surface", [&] {
        return gorvin::orbitDarts(gmap, {0, 1, 2}, 0).size();
    });
    timed("islet [0,1,2]", [&] { return gorvin::isletLabels(gmap, {0, 1, 2}).size(); });
    timed("islet [1,2] (vertices)", [&] { return gorvin::isletLabels(gmap, {1, 2}).size(); });
    timed("sub-orbits [0,1] of the <0,1,2> orbit", [&] {
        return gorvin::subOrbitRepresentatives(gmap, {0, 1, 2}, {0, 1}, 0).size();
    });
}

GMap& chain(Modeler& modeler, DartID n, bool oneWay) {
    GMap& gmap = *modeler.makeGMap();
    buildChain(gmap, n, oneWay);
    return gmap;
}

void measureChain(Modeler& modeler, DartID n, bool oneWay) {
    GMap& gmap = chain(modeler, n, oneWay);
    std::printf("chain of %u darts%s\n", n, oneWay ? ", one-way links" : "");
    timed("<0,1,2> orbit from dart 0", [&] {
        return gorvin::orbitDarts(gmap, {0, 1, 2}, 0).size();
    });
    timed("islet [0,1,2]", [&] { return gorvin::isletLabels(gmap, {0, 1, 2}).size(); });
    timed("sub-orbits [0] of the <0,1,2> orbit", [&] {
        return gorvin::subOrbitRepresentatives(gmap, {0, 1, 2}, {0}, 0).size();
    });
}

} // namespace

int main(int argc, char** argv) {
    const auto k = static_cast<DartID>(argc > 1 ? std::atoi(argv[1]) : 1000);
    const auto n = static_cast<DartID>(argc > 2 ? std::atoi(argv[2]) : 1000000);
    auto modeler = std::make_shared<Modeler>();
    measureGrid(*modeler, k);
    measureChain(*modeler, n, false);
    measureChain(*modeler, n, true);
    const auto small = static_cast<DartID>(argc > 3 ? std::atoi(argv[3]) : 10000);
    std::printf("chain of %u darts, label sweeps against the labelling\n", small);
    GMap& gmap = chain(*modeler, small, false);
    timed("islet [0,1,2] by repeated sweeps (sweeps)", [&] { return sweptIslet(gmap, {0, 1, 2}); });
    timed("islet [0,1,2]", [&] { return gorvin::isletLabels(gmap, {0, 1, 2}).size(); });
}
