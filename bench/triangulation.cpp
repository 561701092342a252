// Barycentric triangulation of every face of the k x k grid by one rule application, on the
// kernel alone (no Python): without expressions, and with one trivial expression per created node;
// then the cost of triangulating single faces of the grid, one application each.
// Build: g++ -O2 -std=c++17 -Iinclude bench/triangulation.cpp -o build/bench_triangulation
// Run:   build/bench_triangulation 100 300 1000
#include "gorvin/core/gmap.h"
#include "gorvin/core/modeler.h"
#include "gorvin/rules/engine.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using namespace gorvin;

struct IntEmbedding {
    using Value = std::shared_ptr<int>;
    static std::string typeName() { return "int"; }
    static Value create() { return std::make_shared<int>(0); }
};

struct Expression {
    std::vector<int> orbit;
};

using Modeler = IModeler<IntEmbedding>;
using GMap = IGMap<IntEmbedding>;
using Rule = IRule<Expression>;

// Face f = j * k + i owns darts 8f .. 8f + 7; darts 2, 3 meet darts 7, 6 of the face on the right
// and darts 4, 5 meet darts 1, 0 of the face above.
void buildGrid(GMap& gmap, DartID k) {
    gmap.makeDarts(std::uint64_t{8} * k * k);
    auto& darts = gmap.darts();
    const auto link = [&](Dim d, DartID a, DartID b) {
        darts[a].alpha[d] = b;
        darts[b].alpha[d] = a;
    };
    for (DartID j = 0; j < k; ++j)
        for (DartID i = 0; i < k; ++i) {
            const DartID f = 8 * (j * k + i);
            for (DartID e = 0; e < 8; e += 2) {
                link(0, f + e, f + e + 1);
                link(1, f + e + 1, f + (e + 2) % 8);
            }
            if (i + 1 < k) {
                link(2, f + 2, f + 8 + 7);
                link(2, f + 3, f + 8 + 6);
            }
            if (j + 1 < k) {
                link(2, f + 4, f + 8 * k + 1);
                link(2, f + 5, f + 8 * k + 0);
            }
        }
}

// Triangulates every face of the hook's <0,1,2> orbit (wholeSurface) or the hook's face alone.
std::shared_ptr<Rule> triangulation(bool withExpressions, bool wholeSurface = true) {
    auto rule = std::make_shared<Rule>("triangulate");
    const RuleNodeMultiplicity one;
    const std::vector<Expression> exprs =
        withExpressions ? std::vector<Expression>{{{0, 1}}} : std::vector<Expression>{};
    const auto orbit = [&](std::vector<int> dims) {
        if (!wholeSurface) dims.pop_back();
        return dims;
    };
    rule->makeLeftNode("a", orbit({0, 1, 2}), true, one);
    rule->makeRightNode("a", orbit({0, -1, 2}), {}, one);
    rule->makeRightNode("b", orbit({-1, 2, -1}), exprs, one);
    rule->makeRightNode("c", orbit({1, 2, -1}), exprs, one);
    rule->linkRightNodes(1, 0, 1);
    rule->linkRightNodes(0, 1, 2);
    rule->compile();
    return rule;
}

std::shared_ptr<int> trivialValue(const ExprsOrbit<Expression>&,
                                  const ExprContext<IntEmbedding, Expression>& context) {
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
