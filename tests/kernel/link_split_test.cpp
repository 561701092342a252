// The link steps taken apart: where the rows' links agree with them, the links between created
// nodes are written into the new darts and the kept node's links in dart order. Each rule here
// is applied once by the engine and once with every link step in row order; the tables must be
// the same, on maps whose links agree and on maps where they do not.
#include "fixtures.h"
#include "kernel_test.h"
#include "triangulation_rule.h"

#include "gorvin/rules/engine.h"
#include "gorvin/rules/input_hooks.h"

#include <functional>
#include <memory>
#include <string>
#include <utility>

using namespace kernel_test;
using bench::Expression;

namespace {

using RulePtr = std::shared_ptr<bench::Rule>;
using Context = gorvin::ExprContext<gorvin::PlainEmbedding, Expression>;
using Group = gorvin::ExprsOrbit<Expression>;

gorvin::PlainEmbedding::Value rowNumber(const Group&, const Context& context) {
    return std::make_shared<int>(static_cast<int>(context.rowid));
}

// The links after applying `rule` at `hook` with every link step in row order.
std::vector<std::array<DartID, 5>> stepByStep(GMap& gmap, const RulePtr& rule, DartID hook) {
    const gorvin::RulePlan plan = gorvin::makeRulePlan(*rule, 1);
    const gorvin::RowTable rows = gorvin::matchRows(plan, gmap.darts(), {hook});
    const auto base = static_cast<DartID>(gmap.size());
    gmap.appendSharedDarts(rows.count * plan.created.size(), gmap.embeddings().completeRecord());
    const gorvin::RightDarts right(plan, rows, base);
    gorvin::detail::linkRows(gmap, plan.linkSteps, plan, rows, right);
    return table(gmap);
}

// A kept node that trades the hook orbit's alpha0 and alpha1 and gains a created node along 2.
RulePtr tradingDims() {
    auto rule = std::make_shared<bench::Rule>("trade");
    rule->makeLeftNode("a", {0, 1, 2}, true, {});
    rule->makeRightNode("a", {1, 0, -1}, {}, {});
    rule->makeRightNode("b", {0, 1, -1}, {}, {});
    rule->linkRightNodes(2, 0, 1);
    rule->compile();
    return rule;
}

// A created node on alpha3 of the kept node: a dimension outside the hook orbit.
RulePtr capped() {
    auto rule = std::make_shared<bench::Rule>("cap");
    rule->makeLeftNode("a", {0, 1, 2}, true, {});
    rule->makeRightNode("a", {0, 1, 2}, {}, {});
    rule->makeRightNode("b", {0, 1, 2}, {}, {});
    rule->linkRightNodes(3, 0, 1);
    rule->compile();
    return rule;
}

struct MapCase {
    std::string map;
    std::function<Fixture()> make;
    bool agrees; // the rows' links agree with them
};

} // namespace

KERNEL_TEST(splitLinkStepsGiveTheLinksOfStepsInRowOrder) {
    const std::vector<MapCase> maps{
        {"grid", [] { return grid(3); }, true},
        {"one-sided alpha1",
         [] {
             Fixture f = grid(3);
             f.gmap->setLink(1, 1, 20);
             return f;
         },
         false},
        {"alpha2 past the table",
         [] {
             Fixture f = grid(3);
             f.gmap->setLink(1, 3, 500);
             return f;
         },
         false},
        {"alpha3 sewn to a second grid",
         [] {
             Fixture f = grid(3);
             f.gmap->makeDarts(72);
             for (DartID x = 0; x < 72; ++x)
                 f.gmap->linkAlpha(3, x, 72 + x);
             return f;
         },
         true},
    };
    const std::vector<std::pair<std::string, RulePtr>> rules{
        {"triangulation", bench::triangulation(false)},
        {"triangulation with expressions", bench::triangulation(true)},
        {"face triangulation", bench::triangulation(false, false)},
        {"trade", tradingDims()},
        {"cap", capped()},
    };
    for (const auto& [ruleName, rule] : rules)
        for (const MapCase& map : maps) {
            Fixture reference = map.make();
            const auto expected = stepByStep(*reference.gmap, rule, 0);
            Fixture f = map.make();
            const gorvin::RulePlan plan = gorvin::makeRulePlan(*rule, 1);
            CHECK(gorvin::matchRows(plan, f.gmap->darts(), {0}).linksAgree == map.agrees);
            gorvin::applyRule(f.modeler, f.gmap, rule, gorvin::AtomicInputHooks({0}), rowNumber);
            if (table(*f.gmap) != expected)
                kernel_test::fail(__FILE__, __LINE__, (ruleName + " on " + map.map).c_str());
        }
}

KERNEL_TEST(anEvaluationThatChangesLinksGetsTheStepsInRowOrder) {
    // the first expression sews dart 0 to dart 2 along alpha0, which the rows' alpha0 steps undo
    const auto sew = [](GMap& gmap) { gmap.linkAlpha(0, 0, 2); };
    Fixture reference = grid(3);
    const auto rule = bench::triangulation(true);
    const gorvin::RulePlan plan = gorvin::makeRulePlan(*rule, 1);
    const gorvin::RowTable rows = gorvin::matchRows(plan, reference.gmap->darts(), {0});
    const auto base = static_cast<DartID>(reference.gmap->size());
    reference.gmap->appendSharedDarts(rows.count * plan.created.size(),
                                      reference.gmap->embeddings().completeRecord());
    sew(*reference.gmap);
    gorvin::detail::linkRows(*reference.gmap, plan.linkSteps, plan, rows,
                             gorvin::RightDarts(plan, rows, base));
    Fixture f = grid(3);
    bool first = true;
    gorvin::applyRule(f.modeler, f.gmap, rule, gorvin::AtomicInputHooks({0}),
                      [&](const Group& group, const Context& context) {
                          if (std::exchange(first, false)) sew(*f.gmap);
                          return rowNumber(group, context);
                      });
    CHECK(table(*f.gmap) == table(*reference.gmap));
}

KERNEL_TEST(theTriangulationSplitsItsStepsIntoLinks) {
    const gorvin::RulePlan plan = gorvin::makeRulePlan(*bench::triangulation(false), 1);
    CHECK(plan.splitsLinks && !plan.hasExpressions && plan.keptLinkSteps.empty());
    CHECK(plan.keptLinks.size() == 1 && plan.createdLinks.size() == 6);
    const gorvin::RulePlan capPlan = gorvin::makeRulePlan(*capped(), 1);
    CHECK(capPlan.splitsLinks && capPlan.keptLinks.empty() && capPlan.keptLinkSteps.size() == 1);
}
