// The rule engine on the plain kernel: the triangulation of the grid, an expression that throws,
// a rule that deletes a face, and the refusals with the diagnostic each carries.
#include "fixtures.h"
#include "kernel_test.h"
#include "triangulation_rule.h"

#include "gorvin/core/exceptions.h"
#include "gorvin/core/orbit.h"
#include "gorvin/rules/engine.h"
#include "gorvin/rules/input_hooks.h"

#include <memory>
#include <set>

using namespace kernel_test;
using bench::Expression;
using gorvin::Diagnostic;

namespace {

using Context = gorvin::ExprContext<gorvin::PlainEmbedding, Expression>;
using Group = gorvin::ExprsOrbit<Expression>;

struct CountingEvaluation {
    int* calls;
    int throwAt; // the call that throws, 0 for none
    gorvin::PlainEmbedding::Value operator()(const Group&, const Context& context) const {
        if (++*calls == throwAt) throw std::runtime_error("from an expression");
        return std::make_shared<int>(static_cast<int>(context.rowid));
    }
};

void apply(Fixture& f, const std::shared_ptr<bench::Rule>& rule, std::vector<DartID> hooks,
           CountingEvaluation evaluate) {
    gorvin::applyRule(f.modeler, f.gmap, rule, gorvin::AtomicInputHooks(std::move(hooks)),
                      evaluate);
}

bool involutive(const GMap& gmap) {
    for (DartID x = 0; x < gmap.size(); ++x)
        for (gorvin::Dim d = 0; d <= gorvin::kDimension; ++d) {
            const DartID y = gmap.neighbour(x, d);
            if (y >= gmap.size() || gmap.neighbour(y, d) != x) return false;
        }
    return true;
}

// The <0, 1> orbits of the whole G-map, as sets.
std::set<std::vector<DartID>> faces(const GMap& gmap) {
    std::set<std::vector<DartID>> result;
    for (DartID x = 0; x < gmap.size(); ++x)
        if (gmap.exists(x)) result.insert(gorvin::orbitDarts(gmap, {0, 1}, x));
    return result;
}

// Throws what applying `rule` at `hooks` throws, after checking that the G-map did not change.
template <class Exception>
Diagnostic refusal(Fixture& f, const std::shared_ptr<bench::Rule>& rule,
                   std::vector<DartID> hooks) {
    const auto before = table(*f.gmap);
    int calls = 0;
    try {
        apply(f, rule, std::move(hooks), {&calls, 0});
    } catch (const Exception& error) {
        CHECK(table(*f.gmap) == before && calls == 0);
        return error.diagnostic;
    }
    CHECK(!"the application was refused");
    return Diagnostic::none;
}

} // namespace

KERNEL_TEST(triangulatingTheGridMakesFourTrianglesPerFace) {
    Fixture f = grid(2);
    int calls = 0;
    apply(f, bench::triangulation(true), {0}, {&calls, 0});
    CHECK(calls == 2 * 32); // once per row (a dart of the surface) and node with an expression
    CHECK(f.gmap->size() == 3 * 32 && involutive(*f.gmap));
    const auto triangles = faces(*f.gmap);
    CHECK(triangles.size() == 16);
    for (const auto& triangle : triangles)
        CHECK(triangle.size() == 6);
}

KERNEL_TEST(anExpressionThatThrowsLeavesTheGMapAsItWas) {
    Fixture f = grid(2);
    const auto before = table(*f.gmap);
    int calls = 0;
    CHECK_THROWS(std::runtime_error, apply(f, bench::triangulation(true), {0}, {&calls, 10}));
    CHECK(calls == 10 && table(*f.gmap) == before);
}

KERNEL_TEST(deletingAFaceFreesTheNeighboursThatLinkedToIt) {
    Fixture f = grid(2);
    auto rule = std::make_shared<bench::Rule>("delete face");
    rule->makeLeftNode("a", {0, 1}, true, {});
    rule->compile();
    int calls = 0;
    apply(f, rule, {3}, {&calls, 0});
    for (DartID x = 0; x < 8; ++x)
        CHECK(!f.gmap->exists(x));
    // face 1 was sewn to darts 2, 3 by its darts 7, 6; face 2 to darts 4, 5 by its darts 1, 0
    for (DartID x : {15u, 14u, 17u, 16u})
        CHECK(f.gmap->dart(x).isFree(2));
    CHECK(f.gmap->size() == 32 && f.gmap->neighbour(12, 2) == 25); // other seams stay
}

// A hook orbit without entries: one row, the hook dart alone, and no neighbour column.
KERNEL_TEST(anEmptyHookOrbitMatchesTheHookAlone) {
    Fixture f = grid(1);
    auto rule = std::make_shared<bench::Rule>("cap");
    rule->makeLeftNode("a", {}, true, {});
    rule->makeRightNode("a", {}, {}, {});
    rule->makeRightNode("b", {}, {}, {});
    rule->linkRightNodes(3, 0, 1);
    rule->compile();
    int calls = 0;
    apply(f, rule, {5}, {&calls, 0});
    CHECK(f.gmap->size() == 9 && f.gmap->neighbour(5, 3) == 8 && f.gmap->neighbour(8, 3) == 5);
    CHECK(f.gmap->neighbour(4, 3) == 4);
}

KERNEL_TEST(refusalsCarryTheirDiagnostic) {
    Fixture f = grid(2);
    CHECK(refusal<gorvin::GorvinInputHookWrongSizeException>(f, bench::triangulation(false),
                                                             {0, 1}) == Diagnostic::notEnoughHooks);
    // left nodes but no hook node
    auto unhooked = std::make_shared<bench::Rule>("unhooked");
    unhooked->makeLeftNode("a", {0}, false, {});
    unhooked->compile();
    CHECK(refusal<gorvin::GorvinInputHookWrongSizeException>(f, unhooked, {}) == Diagnostic::none);
    // hook a steps along alpha2 onto itself (used), hook b onto a fresh dart of the next face
    auto twoHooks = std::make_shared<bench::Rule>("two hooks");
    twoHooks->makeLeftNode("a", {2}, true, {});
    twoHooks->makeLeftNode("b", {2}, true, {});
    twoHooks->makeRightNode("a", {2}, {}, {});
    twoHooks->makeRightNode("b", {2}, {}, {});
    twoHooks->compile();
    CHECK(refusal<gorvin::GorvinRefoldPatternException>(f, twoHooks, {0, 2}) ==
          Diagnostic::notIsomorphHooks);
    CHECK(refusal<gorvin::GorvinUnexistentDartException>(f, twoHooks, {0, 99}) == Diagnostic::none);
}
