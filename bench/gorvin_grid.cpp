// The grid workload on Gorvin's kernel, instantiated in plain C++ with a trivial embedding policy.
#include "harness.h"
#include "triangulation_rule.h"

#include "gorvin/core/gmap.h"
#include "gorvin/core/islet.h"
#include "gorvin/core/modeler.h"
#include "gorvin/core/orbit.h"
#include "gorvin/core/plain_embedding.h"
#include "gorvin/geometry/extraction.h"
#include "gorvin/rules/engine.h"
#include "gorvin/rules/input_hooks.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace {

using gorvin::PlainEmbedding;

using Modeler = gorvin::IModeler<PlainEmbedding>;
using GMap = gorvin::IGMap<PlainEmbedding>;

// The number of components: the slots that are their own label.
std::uint64_t componentsOf(const std::vector<gorvin::DartID>& labels) {
    std::uint64_t count = 0;
    for (gorvin::DartID i = 0; i < labels.size(); ++i)
        count += labels[i] == i;
    return count;
}

} // namespace

int main(int argc, char** argv) {
    const std::uint32_t k = bench::gridSize(argc, argv);
    const std::uint64_t n = bench::gridDarts(k);
    bench::Report report;
    auto modeler = std::make_shared<Modeler>();
    const auto gmapOwner = modeler->makeGMap();
    GMap& gmap = *gmapOwner;

    report.measure("build", [&] {
        gmap.makeDarts(n);
        bench::forEachGridLink(
            k, [&](unsigned dim, std::uint32_t a, std::uint32_t b) { gmap.linkAlpha(dim, a, b); });
        return gmap.size();
    });

    report.resident("build", n);

    report.measure("face orbits", [&] {
        const gorvin::LinkDims face({0, 1});
        std::vector<gorvin::DartID> darts;
        std::uint64_t visited = 0;
        for (gorvin::DartID d = 0; d < n; d += 8) {
            darts.clear();
            gorvin::appendOrbit(gmap, face, d, darts);
            visited += darts.size();
        }
        return visited;
    });
    report.measure(
        "vertex islet",
        [&] {
            return gorvin::Islet({1, 2, 3})(gmap);
        },
        componentsOf);
    report.measure(
        "component islet",
        [&] {
            return gorvin::Islet({0, 1, 2})(gmap);
        },
        componentsOf);
    report.measure("surface orbit", [&] {
        std::vector<gorvin::DartID> darts;
        gorvin::appendOrbit(gmap, {0, 1, 2}, 0, darts);
        return darts.size();
    });
    report.measure(
        "extraction", [&] { return gorvin::extractGeometryCompacted3D(gmap); },
        bench::geometryChecksum<gorvin::CompactedGeometry>);
    report.measure("triangulation", [&] {
        const auto noEvaluation = [](const auto&, const auto&) { return PlainEmbedding::Value{}; };
        gorvin::applyRule(modeler, gmapOwner, bench::triangulation(false),
                          gorvin::AtomicInputHooks({0}), noEvaluation);
        return gmap.size();
    });
    report.peakResident("peak", gmap.size());
    return 0;
}
