// A compiled rule as one application reads it: the hook list, the orbits and links as flat
// tables, and the created, kept and deleted nodes. Building it checks every property of the rule
// that an application relies on, so the engine can index these tables without further tests.
// The plan is a copy: a rule changed while the application runs does not change the plan.
#pragma once

#include "gorvin/core/exceptions.h"
#include "gorvin/core/types.h"
#include "gorvin/rules/rule.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <iostream>
#include <vector>

namespace gorvin {

struct RulePlan {
    using Links = std::array<std::uint32_t, kDimension + 1>;

    std::size_t leftSize = 0;
    std::size_t rightSize = 0;
    std::vector<std::uint32_t> hooks; // hook node ids, in left-node order
    std::size_t orbitLength = 0;      // n: the length of the first hook's orbit
    std::vector<int> hookOrbits;      // hooks.size() x n: the first n entries of each hook's orbit
    std::vector<int> rightOrbits;     // rightSize x n: the first n entries of each right orbit
    std::vector<Links> leftLinks;
    std::vector<Links> rightLinks;
    std::vector<std::uint32_t> created; // right nodes without a left counterpart, ascending
    std::vector<std::uint32_t> kept;    // right nodes with a left counterpart, ascending
    std::vector<std::uint32_t> source;  // per right node: its left counterpart, or kNoLink
    std::vector<std::uint32_t> deleted; // left nodes without a right counterpart, ascending
    std::vector<bool> needsNeighbour;   // per position j: some right orbit has a dimension 0..3

    int hookDim(std::size_t hook, std::size_t k) const {
        return hookOrbits[hook * orbitLength + k];
    }
    int rightDim(std::size_t node, std::size_t j) const {
        return rightOrbits[node * orbitLength + j];
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

// Appends the first n entries of `orbit`; throws when it has fewer.
inline void appendOrbit(std::vector<int>& table, const std::vector<int>& orbit, std::size_t n) {
    if (orbit.size() < n) throw GorvinDimensionException{};
    table.insert(table.end(), orbit.begin(), orbit.begin() + static_cast<std::ptrdiff_t>(n));
}

} // namespace detail

// Builds the plan of `rule` for hooks with `hookColumns` columns. Throws, in this order:
// GorvinException when the rule has nodes but was never compiled; GorvinInputHookWrongSizeException
// (after "ERROR NOT ENOUGH HOOKS!!" on standard error) when the column count differs from the
// number of hook nodes; GorvinUnfoundLeftNodeExpcetion / GorvinUnfoundRightNodeExpcetion when a
// link names no node of its side; GorvinInputHookWrongSizeException when the rule has left nodes
// but no hook node; GorvinDimensionException when a hook or right orbit is shorter than n.
template <class Expression>
RulePlan makeRulePlan(const IRule<Expression>& rule, std::size_t hookColumns) {
    const auto& left = rule.leftnodes();
    const auto& right = rule.rightnodes();
    if (!rule.isCompiled() && (!left.empty() || !right.empty())) throw GorvinException{};

    RulePlan plan;
    plan.hooks = rule.hooks();
    if (hookColumns != plan.hooks.size()) {
        std::cerr << "ERROR NOT ENOUGH HOOKS!!" << std::endl;
        throw GorvinInputHookWrongSizeException{};
    }
    if (!detail::linksInRange(left)) throw GorvinUnfoundLeftNodeExpcetion{};
    if (!detail::linksInRange(right)) throw GorvinUnfoundRightNodeExpcetion{};
    if (!left.empty() && plan.hooks.empty()) throw GorvinInputHookWrongSizeException{};

    plan.leftSize = left.size();
    plan.rightSize = right.size();
    const std::size_t n = plan.hooks.empty() ? 0 : left[plan.hooks.front()].orbit.size();
    plan.orbitLength = n;
    for (std::uint32_t h : plan.hooks)
        detail::appendOrbit(plan.hookOrbits, left[h].orbit, n);
    plan.needsNeighbour.assign(n, false);
    for (const auto& node : right) {
        detail::appendOrbit(plan.rightOrbits, node.orbit, n);
        for (std::size_t j = 0; j < n; ++j)
            if (node.orbit[j] >= 0 && node.orbit[j] <= static_cast<int>(kDimension))
                plan.needsNeighbour[j] = true;
    }
    for (const auto& node : left)
        plan.leftLinks.push_back(node.links);
    for (const auto& node : right)
        plan.rightLinks.push_back(node.links);

    plan.created = rule.createdRightNodesID();
    plan.kept = rule.keptRightNodesID();
    plan.deleted = rule.deletedLeftNodesID();
    plan.source.reserve(right.size());
    for (std::size_t q = 0; q < right.size(); ++q)
        plan.source.push_back(rule.assoc(q));
    return plan;
}

} // namespace gorvin
