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

// A link written straight into a new dart: created node number `slot` (its place in the created
// list) links along `dim` to created node number `other` of the same row; or, where `position`
// is not kNoLink, to its own node in the row's neighbour at that position; or, where `left` is
// not kNoLink, to the dart of that left node in the same row.
struct CreatedLink {
    std::uint32_t slot;
    Dim dim;
    std::uint32_t other = kNoLink;
    std::uint32_t position = kNoLink;
    std::uint32_t left = kNoLink;
};

// A link written straight into a kept dart, the hook's: it links along `dim` to created node
// number `slot` of its row.
struct KeptLink {
    Dim dim;
    std::uint32_t slot;
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
    // Where each node's links along each dimension come from one source (one other node, or one
    // position) and kept nodes have distinct left counterparts, the link steps fall apart on rows
    // whose links agree with them (RowTable::linksAgree): the links between created nodes, which
    // no other step reads or frees, are written into the new darts in any order (createdLinks),
    // and only the steps that reach a kept node run as link steps, in row order (keptLinkSteps),
    // less those that would find their link already made.
    // Where those steps all link the hook's kept node to created nodes along dimensions of the hook
    // orbit, they are links too: written in any order, keptLinks on the kept side, createdLinks
    // on the other, and keptLinkSteps is empty.
    bool hasExpressions = false; // some right node carries an expression
    bool splitsLinks = false;
    std::vector<CreatedLink> createdLinks;
    std::vector<KeptLink> keptLinks;
    std::vector<LinkStep> keptLinkSteps;

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

// What links a right node along one dimension: the other node of its explicit links either way,
// or the position of an orbit entry; `count` is the number of different sources.
struct LinkSource {
    std::uint32_t node = kNoLink;
    std::uint32_t position = kNoLink;
    unsigned count = 0;

    void add(std::uint32_t otherNode, std::uint32_t atPosition) {
        if (count > 0 && node == otherNode && position == atPosition) return;
        node = otherNode;
        position = atPosition;
        ++count;
    }
};

// Turns the split's kept steps into links (RulePlan::keptLinks) where each links the kept node
// of the one hook to a created node along an entry of the hook orbit. Along such a dimension the
// hook's darts are linked among themselves, each of them gets a new partner, and a link step
// frees only a former partner: one that gets its own new partner, in either order.
inline void linkKeptNodeDirectly(RulePlan& plan, const std::vector<std::uint32_t>& slot) {
    if (plan.hooks.size() != 1) return;
    const auto hookEntry = [&](Dim d) {
        for (std::size_t j = 0; j < plan.orbitLength; ++j)
            if (plan.hookDim(0, j) == static_cast<int>(d)) return true;
        return false;
    };
    std::vector<KeptLink> kept;
    std::vector<CreatedLink> created;
    for (const LinkStep& step : plan.keptLinkSteps) {
        if (step.position != kNoLink) return;
        const bool nodeKept = slot[step.node] == kNoLink;
        const std::uint32_t keptNode = nodeKept ? step.node : step.other;
        const std::uint32_t createdNode = nodeKept ? step.other : step.node;
        if (slot[createdNode] == kNoLink || plan.source[keptNode] != plan.hooks[0] ||
            !hookEntry(step.dim))
            return;
        kept.push_back({step.dim, slot[createdNode]});
        created.push_back({slot[createdNode], step.dim, kNoLink, kNoLink, plan.hooks[0]});
    }
    plan.keptLinks = std::move(kept);
    plan.createdLinks.insert(plan.createdLinks.end(), created.begin(), created.end());
    plan.keptLinkSteps.clear();
}

// Fills the split of the link steps (RulePlan::splitsLinks) once the rest of the plan is made.
inline void splitLinkSteps(RulePlan& plan) {
    std::vector<std::array<LinkSource, kDimension + 1>> sources(plan.rightSize);
    for (const LinkStep& step : plan.linkSteps) {
        if (step.position != kNoLink) {
            sources[step.node][step.dim].add(kNoLink, step.position);
        } else {
            sources[step.node][step.dim].add(step.other, kNoLink);
            sources[step.other][step.dim].add(step.node, kNoLink);
        }
    }
    std::vector<std::uint32_t> keptSources;
    for (std::uint32_t q : plan.kept)
        keptSources.push_back(plan.source[q]);
    std::sort(keptSources.begin(), keptSources.end());
    if (std::adjacent_find(keptSources.begin(), keptSources.end()) != keptSources.end()) return;
    for (const auto& node : sources)
        for (const LinkSource& source : node)
            if (source.count > 1) return;
    plan.splitsLinks = true;

    std::vector<std::uint32_t> slot(plan.rightSize, kNoLink); // place in the created list
    for (std::uint32_t j = 0; j < plan.created.size(); ++j)
        slot[plan.created[j]] = j;
    for (std::uint32_t q : plan.created)
        for (Dim d = 0; d <= kDimension; ++d) {
            const LinkSource& source = sources[q][d];
            if (source.count == 0) continue;
            if (source.position != kNoLink)
                plan.createdLinks.push_back({slot[q], d, kNoLink, source.position});
            else if (slot[source.node] != kNoLink)
                plan.createdLinks.push_back({slot[q], d, slot[source.node]});
        }
    // An explicit link made from one side is found made from the other. A kept node of the one
    // hook that keeps the hook orbit's entry at a position finds its link to the neighbour row
    // there made: the rows' darts are linked that way and nothing else links them along it.
    const auto ownHookEntry = [&](const LinkStep& step) {
        return plan.hooks.size() == 1 && plan.source[step.node] == plan.hooks[0] &&
               plan.hookDim(0, step.position) == static_cast<int>(step.dim);
    };
    std::vector<std::array<bool, kDimension + 1>> linked(plan.rightSize);
    for (const LinkStep& step : plan.linkSteps) {
        if (step.position != kNoLink) {
            if (slot[step.node] == kNoLink && !ownHookEntry(step))
                plan.keptLinkSteps.push_back(step);
            continue;
        }
        if (slot[step.node] != kNoLink && slot[step.other] != kNoLink) continue;
        if (linked[step.node][step.dim]) continue;
        linked[step.node][step.dim] = linked[step.other][step.dim] = true;
        plan.keptLinkSteps.push_back(step);
    }
    linkKeptNodeDirectly(plan, slot);
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
    for (const auto& node : right)
        for (unsigned k = 0; k < kSlots; ++k)
            plan.hasExpressions = plan.hasExpressions || static_cast<bool>(node.exprs[k]);
    detail::splitLinkSteps(plan);
    return plan;
}

} // namespace gorvin
