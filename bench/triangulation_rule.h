// The barycentric triangulation rule of the benchmarks: each dart of a face keeps its alpha0 and
// alpha2 and gains a dart on the new edge to the centre (b) and one at the centre (c).
#pragma once

#include "gorvin/rules/multiplicity.h"
#include "gorvin/rules/rule.h"

#include <memory>
#include <vector>

namespace bench {

// An expression as the benchmarks' rules carry it: only its orbit matters.
struct Expression {
    std::vector<int> orbit;
};
using Rule = gorvin::IRule<Expression>;

// Triangulates every face of the hook's <0,1,2> orbit (wholeSurface) or the hook's face alone;
// with expressions, b and c carry one expression each.
inline std::shared_ptr<Rule> triangulation(bool withExpressions, bool wholeSurface = true) {
    auto rule = std::make_shared<Rule>("triangulate");
    const gorvin::RuleNodeMultiplicity one;
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

} // namespace bench
