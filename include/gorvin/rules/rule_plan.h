// A compiled rule as one application reads it: the hook list, the orbits and links as flat
// tables, and the created, kept and deleted nodes. Building it checks every property of the rule
// that an application relies on, so the engine can index these tables without further tests.
// The plan is a copy: a rule changed while the application runs does not change the plan.
#pragma once

#include "gorvin/core/exceptions.h"
#include "gorvin/core/types.h"
#include "gorvin/rules/rule.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace gorvin {

// One link step of a row: the dart of right node `node` is linked along `dim` to the dart of
// node `other` in the same row (position == kNoLink) or to the dart of `node` in the row's
// neighbour at `position`.
struct LinkStep {
    std::uint32_t node;
    Dim dim;
    std::uint32_t other;
    std::uint32_t position;
};

struct RulePlan {
    using Links = std::array<std::uint32_t, kDimension + 1>;

    std::size_t leftSize = 0;
    std::size_t rightSize = 0;
    std::vector<std::uint32_t> hooks; // hook node ids, in left-node order
    std::size_t orbitLength = 0;      // n: the length of the first hook's orbit
    std::vector<int> hookOrbits;      // hooks.size() x n: the first n entries of each hook's orbit
    std::vector<Links> leftLinks;
    std::vector<LinkStep> linkSteps;            // the link steps of every row, in order
    std::vector<std::uint32_t> created;         // right nodes without a left counterpart, ascending
    std::vector<std::uint32_t> kept;            // right nodes with a left counterpart, ascending
    std::vector<std::uint32_t> source;          // per right node: its left counterpart, or kNoLink
    std::vector<std::uint32_t> deleted;         // left nodes without a right counterpart, ascending
    std::vector<std::uint32_t> neededPositions; // ascending positions j where some right orbit
                                                // has a dimension 0..3: rows need a neighbour there

    int hookDim(std::size_t hook, std::size_t k) const {
        return hookOrbits[hook * orbitLength + k];
    }
};

namespace detail {

// True when every explicit link names a node of the same side.
template <class Node> bool linksInRange(const std::vector<Node>& nodes) {
    for (const Node& node : nodes)
        for (std::uint32_t t : node.links)
            if (t != kNoLink && t >= nodes.size()) return false;
    return true;
}

// Throws when `orbit` has fewer than n entries.
inline void checkOrbitLength(const std::vector<int>& orbit, std::size_t n) {
    if (orbit.size() < n) throw GorvinDimensionException{};
}

// Appends the first n entries of `orbit`; throws when it has fewer.
inline void appendOrbit(std::vector<int>& table, const std::vector<int>& orbit, std::size_t n) {
    checkOrbitLength(orbit, n);
    table.insert(table.end(), orbit.begin(), orbit.begin() + static_cast<std::ptrdiff_t>(n));
}

// Per right node in order: its explicit links by dimension, then the implicit links of its orbit
// entries 0..3 among the first n, by position.
template <class Node>
std::vector<LinkStep> linkStepsOf(const std::vector<Node>& right, std::size_t n) {
    std::vector<LinkStep> steps;
    for (std::uint32_t q = 0; q < right.size(); ++q) {
        for (Dim k = 0; k <= kDimension; ++k)
            if (right[q].links[k] != kNoLink) steps.push_back({q, k, right[q].links[k], kNoLink});
        for (std::uint32_t j = 0; j < n; ++j) {
            const int e = right[q].orbit[j];
            if (isLinkDimension(e)) steps.push_back({q, static_cast<Dim>(e), q, j});
        }
    }
    return steps;
}

} // namespace detail

// Builds the plan of `rule` for hooks with `hookColumns` columns. Throws, in this order:
// GorvinException when the rule has nodes but was never compiled; GorvinInputHookWrongSizeException
// (with Diagnostic::notEnoughHooks) when the column count differs from the number of hook nodes;
// GorvinUnfoundLeftNodeExpcetion / GorvinUnfoundRightNodeExpcetion when a link names no node of its
// side; GorvinInputHookWrongSizeException when the rule has left nodes but no hook node;
// GorvinDimensionException when a hook or right orbit is shorter than n.
template <class Expression>
RulePlan makeRulePlan(const IRule<Expression>& rule, std::size_t hookColumns) {
    const auto& left = rule.leftnodes();
    const auto& right = rule.rightnodes();
    if (!rule.isCompiled() && (!left.empty() || !right.empty())) throw GorvinException{};

    RulePlan plan;
    plan.hooks = rule.hooks();
    if (hookColumns != plan.hooks.size())
        throw GorvinInputHookWrongSizeException{{Diagnostic::notEnoughHooks}};
    if (!detail::linksInRange(left)) throw GorvinUnfoundLeftNodeExpcetion{};
    if (!detail::linksInRange(right)) throw GorvinUnfoundRightNodeExpcetion{};
    if (!left.empty() && plan.hooks.empty()) throw GorvinInputHookWrongSizeException{};

    plan.leftSize = left.size();
    plan.rightSize = right.size();
    const std::size_t n = plan.hooks.empty() ? 0 : left[plan.hooks.front()].orbit.size();
    plan.orbitLength = n;
    for (std::uint32_t h : plan.hooks)
        detail::appendOrbit(plan.hookOrbits, left[h].orbit, n);
    for (const auto& node : right)
        detail::checkOrbitLength(node.orbit, n);
    plan.linkSteps = detail::linkStepsOf(right, n);
    for (std::uint32_t j = 0; j < n; ++j)
        if (std::any_of(plan.linkSteps.begin(), plan.linkSteps.end(),
                        [j](const LinkStep& step) { return step.position == j; }))
            plan.neededPositions.push_back(j);
    for (const auto& node : left)
        plan.leftLinks.push_back(node.links);

    plan.created = rule.createdRightNodesID();
    plan.kept = rule.keptRightNodesID();
    plan.deleted = rule.deletedLeftNodesID();
    plan.source.reserve(right.size());
    for (std::size_t q = 0; q < right.size(); ++q)
        plan.source.push_back(rule.assoc(q));
    return plan;
}

} // namespace gorvin
