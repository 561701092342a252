// Barycentric triangulation of every face of the k x k grid by one rule application, on the
// kernel alone (no Python): without expressions, and with one trivial expression per created node;
// then the cost of triangulating single faces of the grid, one application each.
// Built with the other benchmark programs (bench/CMakeLists.txt); run: build/bench/triangulation
// 100 300 1000
#include "harness.h"
#include "triangulation_rule.h"

#include "gorvin/core/gmap.h"
#include "gorvin/core/modeler.h"
#include "gorvin/core/plain_embedding.h"
#include "gorvin/rules/engine.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

using namespace gorvin;
using bench::Expression;
using bench::triangulation;

using Modeler = IModeler<gorvin::PlainEmbedding>;
using GMap = IGMap<gorvin::PlainEmbedding>;

void buildGrid(GMap& gmap, DartID k) {
    gmap.makeDarts(bench::gridDarts(k));
    bench::forEachGridLink(k, [&](unsigned d, DartID a, DartID b) { gmap.linkSlots(d, a, b); });
}

std::shared_ptr<int> trivialValue(const ExprsOrbit<Expression>&,
                                  const ExprContext<gorvin::PlainEmbedding, Expression>& context) {
    return std::make_shared<int>(static_cast<int>(context.rowid));
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void measureSurface(DartID k, bool withExpressions) {
    auto modeler = std::make_shared<Modeler>();
    auto gmap = modeler->makeGMap();
    buildGrid(*gmap, k);
    const auto rule = triangulation(withExpressions);
    const std::size_t before = gmap->size();
    const auto start = std::chrono::steady_clock::now();
    applyRule(modeler, gmap, rule, AtomicInputHooks({0}), trivialValue);
    const double seconds = secondsSince(start);
    const double created = static_cast<double>(gmap->size() - before);
    std::printf("k=%-5u %-16s created=%-9.0f %.3f s  %.2f M darts/s\n", k,
                withExpressions ? "one expression" : "no expression", created, seconds,
                created / seconds / 1e6);
}

// Triangulates the first `faces` faces one application at a time. The tables are reserved first:
// their growth is amortized over every dart ever added, not paid by these few applications.
void measureFaces(DartID k, DartID faces) {
    auto modeler = std::make_shared<Modeler>();
    auto gmap = modeler->makeGMap();
    buildGrid(*gmap, k);
    gmap->reserve(gmap->size() + std::uint64_t{16} * faces);
    const auto rule = triangulation(false, false);
    const auto start = std::chrono::steady_clock::now();
    for (DartID f = 0; f < faces; ++f)
        applyRule(modeler, gmap, rule, AtomicInputHooks({8 * f}), trivialValue);
    std::printf("k=%-5u one face at a time: %.2f us per application\n", k,
                secondsSince(start) / faces * 1e6);
}

int main(int argc, char** argv) {
    for (int a = 1; a < argc; ++a) {
        const auto k = static_cast<DartID>(std::strtoul(argv[a], nullptr, 10));
        measureSurface(k, false);
        measureSurface(k, true);
        measureFaces(k, std::min<DartID>(k * k, 1000));
    }
}
