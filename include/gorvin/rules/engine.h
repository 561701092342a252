// Rule application: finds the rows of a compiled rule from the hook darts, appends one dart per
// created right node per row, evaluates the expressions against the topology as it was, rewrites
// the links, stores the computed values and deletes the darts of deleted left nodes.
// Nothing changes before every precondition has passed, and when an expression throws the G-map
// is brought back to its size, links and records from before the call.
#pragma once

#include "gorvin/core/dart_map.h"
#include "gorvin/core/exceptions.h"
#include "gorvin/core/gmap.h"
#include "gorvin/core/modeler.h"
#include "gorvin/core/types.h"
#include "gorvin/rules/context.h"
#include "gorvin/rules/input_hooks.h"
#include "gorvin/rules/row_table.h"
#include "gorvin/rules/rule.h"
#include "gorvin/rules/rule_plan.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

namespace gorvin {

namespace detail {

// The hook darts of row 0; each must be a live dart of the G-map.
template <class Policy>
std::vector<DartID> liveHookDarts(const IGMap<Policy>& gmap, const InputHooks& hooks,
                                  std::size_t count) {
    std::vector<DartID> darts(count);
    for (std::size_t i = 0; i < count; ++i) {
        darts[i] = hooks.dartAt(i, 0);
        if (!gmap.exists(darts[i])) throw GorvinUnexistentDartException{};
    }
    return darts;
}

} // namespace detail

// Right darts of every row: created node j of row r is base + r * C + j, a kept node is the dart
// its left counterpart matched.
class RightDarts {
  public:
    RightDarts(const RulePlan& plan, const RowTable& rows, DartID base)
        : rows_(rows), base_(base), created_(plan.created.size()), nodes_(plan.rightSize) {
        for (std::uint32_t q = 0; q < plan.rightSize; ++q)
            nodes_[q] = {kNoLink, plan.source[q]};
        for (std::uint32_t j = 0; j < plan.created.size(); ++j)
            nodes_[plan.created[j]].created = j;
    }

    DartID operator()(std::size_t row, std::uint32_t node) const {
        const Node& n = nodes_[node];
        if (n.created == kNoLink) return rows_.leftDart(row, n.source);
        return static_cast<DartID>(base_ + row * created_ + n.created);
    }

  private:
    struct Node {
        std::uint32_t created; // place in the created list, kNoLink for a kept node
        std::uint32_t source;  // left counterpart of a kept node
    };

    const RowTable& rows_;
    DartID base_;
    std::size_t created_;
    std::vector<Node> nodes_;
};

// What the evaluation stage is given: the rows, and the right dart of every row and right node.
struct MatchedRows {
    const RulePlan& plan;
    const RowTable& rows;
    const RightDarts& right;
};

// A value for slot `slot` of dart `dart`.
template <class Value> struct ComputedValue {
    DartID dart;
    unsigned slot;
    Value value;
};

// Values computed one by one, as an evaluation stage may return them (see applyRuleWith).
template <class Value> struct ComputedValues {
    std::vector<ComputedValue<Value>> values;

    bool empty() const { return values.empty(); }

    // Stores each value in its dart's slot; returns the values they replaced.
    template <class Policy> std::vector<Value> store(IGMap<Policy>& gmap) {
        std::vector<Value> replaced;
        replaced.reserve(values.size());
        for (auto& computed : values)
            replaced.push_back(
                gmap.embeddings().set(computed.dart, computed.slot, std::move(computed.value)));
        return replaced;
    }
};

namespace detail {

// Calls every expression group once per row and right node, in row, node and slot order.
template <class Policy, class Expression, class Evaluate>
ComputedValues<typename Policy::Value> evaluateRows(ExprContext<Policy, Expression> context,
                                                    const MatchedRows& matched,
                                                    Evaluate& evaluate) {
    const auto& [plan, rows, right] = matched;
    std::vector<std::pair<std::uint32_t, unsigned>> groups; // (right node, slot) with expressions
    const auto& nodes = context.rule->rightnodes();
    for (std::uint32_t q = 0; q < plan.rightSize; ++q)
        for (unsigned s = 0; s < kSlots; ++s)
            if (nodes[q].exprs[s]) groups.emplace_back(q, s);

    ComputedValues<typename Policy::Value> computed;
    if (groups.empty()) return computed;
    auto& values = computed.values;
    values.reserve(rows.count * groups.size());
    for (std::size_t r = 0; r < rows.count; ++r) {
        const DartID* left = rows.left.data() + r * rows.leftSize;
        context.leftpattern.assign(left, left + rows.leftSize);
        context.rowid = static_cast<std::uint32_t>(r);
        for (const auto& [q, s] : groups) {
            context.rnodeid = q;
            context.leftdart = plan.source[q] == kNoLink ? kNoLink : left[plan.source[q]];
            context.rightdart = right(r, q);
            values.push_back({context.rightdart, s, evaluate(*nodes[q].exprs[s], context)});
        }
    }
    return computed;
}

// Whether every dart of the rows is still live: the matched darts and the new ones. An expression
// may have deleted one, and the link steps must not write into a deleted slot.
template <class Policy>
bool rowDartsLive(const IGMap<Policy>& gmap, const RowTable& rows, DartID base,
                  std::uint64_t added) {
    for (DartID x : rows.left)
        if (!gmap.exists(x)) return false;
    for (std::uint64_t i = 0; i < added; ++i)
        if (!gmap.exists(static_cast<DartID>(base + i))) return false;
    return true;
}

// The given link steps of every row, in row order.
template <class Policy>
void linkRows(IGMap<Policy>& gmap, const std::vector<LinkStep>& steps, const RulePlan& plan,
              const RowTable& rows, const RightDarts& right) {
    if (steps.empty()) return;
    std::vector<DartID> own(plan.rightSize); // the right darts of the current row
    for (std::size_t w = 0; w < rows.count; ++w) {
        for (std::uint32_t q = 0; q < plan.rightSize; ++q)
            own[q] = right(w, q);
        for (const LinkStep& step : steps) {
            const DartID partner = step.position == kNoLink
                                       ? own[step.other]
                                       : right(rows.neighbourRow(w, step.position), step.node);
            gmap.linkSlots(step.dim, own[step.node], partner);
        }
    }
}

// The links of the new darts with RulePlan::createdLinks made, for new darts made linked: new
// dart i is created node i % C of row i / C. Asked in order, it counts rows and nodes on. Each
// created node's links come from a recipe made once: an offset in its row's new darts per
// dimension (its own where nothing links it, another created node's where one does), then the
// few links that lead out of the row, to its own node in a neighbour row or to a left dart.
class CreatedDartLinks {
  public:
    CreatedDartLinks(const RulePlan& plan, const RowTable& rows, DartID base)
        : rows_(rows), base_(base), created_(plan.created.size()), recipes_(created_) {
        for (std::uint32_t slot = 0; slot < created_; ++slot)
            recipes_[slot].inRow.fill(slot);
        for (const CreatedLink& link : plan.createdLinks)
            recipes_[link.slot].add(link);
    }

    std::array<DartID, kDimension + 1> operator()(std::size_t i) {
        if (i != next_) {
            row_ = i / created_;
            slot_ = i % created_;
        }
        next_ = i + 1;
        const Recipe& recipe = recipes_[slot_];
        const auto rowBase = static_cast<DartID>(base_ + row_ * created_);
        std::array<DartID, kDimension + 1> alpha;
        for (Dim d = 0; d <= kDimension; ++d)
            alpha[d] = rowBase + recipe.inRow[d];
        for (unsigned k = 0; k < recipe.outOfRowCount; ++k) {
            const OutOfRow& link = recipe.outOfRow[k];
            alpha[link.dim] =
                link.toNeighbour
                    ? static_cast<DartID>(base_ + rows_.neighbourRow(row_, link.arg) * created_ +
                                          slot_)
                    : rows_.leftDart(row_, link.arg);
        }
        if (++slot_ == created_) {
            slot_ = 0;
            ++row_;
        }
        return alpha;
    }

  private:
    // A link to the node's own node in the neighbour row at position arg, or to the dart of left
    // node arg.
    struct OutOfRow {
        Dim dim;
        bool toNeighbour;
        std::uint32_t arg;
    };
    struct Recipe {
        std::array<std::uint32_t, kDimension + 1> inRow;
        std::array<OutOfRow, kDimension + 1> outOfRow;
        unsigned outOfRowCount = 0;

        // Takes `link` as the node's link along its dimension, in place of any earlier one.
        void add(const CreatedLink& link) {
            unsigned k = 0; // the link out of the row along link.dim, or a new one
            while (k < outOfRowCount && outOfRow[k].dim != link.dim)
                ++k;
            if (link.position == kNoLink && link.left == kNoLink) {
                inRow[link.dim] = link.other;
                if (k < outOfRowCount) outOfRow[k] = outOfRow[--outOfRowCount];
                return;
            }
            if (k == outOfRowCount) ++outOfRowCount;
            const bool toNeighbour = link.position != kNoLink;
            outOfRow[k] = {link.dim, toNeighbour, toNeighbour ? link.position : link.left};
        }
    };

    const RowTable& rows_;
    DartID base_;
    std::size_t created_;
    std::vector<Recipe> recipes_; // per created node
    std::size_t next_ = 0, row_ = 0, slot_ = 0;
};

// Writes the links of the new darts (CreatedDartLinks) into them, row by row: the new darts are
// free and nothing else links to them.
template <class Policy>
void writeCreatedLinks(IGMap<Policy>& gmap, const RulePlan& plan, const RowTable& rows,
                       DartID base) {
    CreatedDartLinks links(plan, rows, base);
    const std::size_t added = rows.count * plan.created.size();
    for (std::size_t i = 0; i < added; ++i) {
        const auto alpha = links(i);
        for (Dim d = 0; d <= kDimension; ++d)
            gmap.setLink(static_cast<DartID>(base + i), d, alpha[d]);
    }
}

// Writes RulePlan::keptLinks into the hook's darts, in dart order.
template <class Policy>
void writeKeptLinks(IGMap<Policy>& gmap, const RulePlan& plan, const RowTable& rows, DartID base) {
    if (plan.keptLinks.empty()) return;
    const std::size_t created = plan.created.size();
    rows.rowOfDart.forEach([&](DartID x, std::uint32_t w) {
        for (const KeptLink& link : plan.keptLinks)
            gmap.setLink(x, link.dim, static_cast<DartID>(base + w * created + link.slot));
    });
}

// How the link steps of an application run. Split (RulePlan::splitsLinks) where the rows' links
// agree with them and the dart table does not change between the rows and the links but by the
// engine (IGMap::changes); the new darts are then made linked where no expression is evaluated to
// see them free. Otherwise every step runs in row order. Each way gives the same links.
enum class Linking { kStepByStep, kSplit, kSplitMadeLinked };

// The link steps that `linking` leaves after the new darts are made, in row order.
template <class Policy>
void linkAllRows(IGMap<Policy>& gmap, const RulePlan& plan, const RowTable& rows,
                 const RightDarts& right, DartID base, Linking linking) {
    if (linking == Linking::kStepByStep) return linkRows(gmap, plan.linkSteps, plan, rows, right);
    if (linking == Linking::kSplit) writeCreatedLinks(gmap, plan, rows, base);
    writeKeptLinks(gmap, plan, rows, base);
    linkRows(gmap, plan.keptLinkSteps, plan, rows, right);
}

// Deletes the darts that deleted left nodes matched, except those that are also right darts.
template <class Policy>
void deleteMatched(IGMap<Policy>& gmap, const RulePlan& plan, const RowTable& rows,
                   const RightDarts& right, DartID base) {
    if (plan.deleted.empty()) return;
    DartMap keptDarts(base);
    for (std::size_t r = 0; r < rows.count; ++r)
        for (std::uint32_t q : plan.kept)
            keptDarts.set(right(r, q), 0);
    for (std::size_t r = 0; r < rows.count; ++r)
        for (std::uint32_t l : plan.deleted) {
            const DartID x = rows.leftDart(r, l);
            if (gmap.exists(x) && !keptDarts.contains(x)) gmap.deleteDart(x);
        }
}

} // namespace detail

// Applies `rule` to `gmap` at `hooks` (dartAt(i, 0) is the dart of hook node i), with one
// evaluation stage for all rows: `evaluateAll(const MatchedRows&)` returns the computed values
// (like ComputedValues: empty() when it computed nothing and ran no code that could change the
// G-map, and store(gmap) writing them at most once per dart and slot and returning what they
// replaced); it sees the new darts free and every old link unchanged, and is called only for a
// rule with expressions (one without has nothing to evaluate). Preconditions, checked before
// any change (see makeRulePlan and matchRows for the rule and row checks): every hook dart is a
// live dart of `gmap` (GorvinUnexistentDartException). When `evaluateAll` throws, the G-map is cut
// back to its former size and the exception leaves unchanged; when it has shrunk the G-map below
// the new darts or deleted a dart of the rows, the same cut is made and
// GorvinUnexistentDartException is thrown.
template <class Policy, class Expression, class EvaluateAll>
void applyRuleWith(const std::shared_ptr<IGMap<Policy>>& gmap,
                   const std::shared_ptr<IRule<Expression>>& rule, const InputHooks& hooks,
                   EvaluateAll evaluateAll) {
    const RulePlan plan = makeRulePlan(*rule, hooks.sizeCol());
    // Made before the rows are found: making values may run code that changes the G-map.
    auto record = plan.created.empty() ? nullptr : gmap->embeddings().completeRecord();
    const std::vector<DartID> hookDarts = detail::liveHookDarts(*gmap, hooks, plan.hooks.size());
    const RowTable rows = matchRows(plan, gmap->darts(), hookDarts);

    const auto base = static_cast<DartID>(gmap->size());
    const std::uint64_t added = std::uint64_t{rows.count} * plan.created.size();
    const bool split = plan.splitsLinks && rows.linksAgree;
    detail::Linking linking = !split                ? detail::Linking::kStepByStep
                              : plan.hasExpressions ? detail::Linking::kSplit
                                                    : detail::Linking::kSplitMadeLinked;
    if (linking == detail::Linking::kSplitMadeLinked)
        gmap->appendSharedDarts(added, std::move(record),
                                detail::CreatedDartLinks(plan, rows, base));
    else
        gmap->appendSharedDarts(added, std::move(record));
    const RightDarts right(plan, rows, base);
    const std::uint64_t changesBefore = gmap->changes();
    const auto cutBack = [&] {
        if (gmap->size() > base) gmap->resize(base);
    };

    std::invoke_result_t<EvaluateAll&, const MatchedRows&> values;
    try {
        if (plan.hasExpressions) values = evaluateAll(MatchedRows{plan, rows, right});
    } catch (...) {
        cutBack();
        throw;
    }
    // Code the evaluation ran may have changed links the split relies on.
    if (gmap->changes() != changesBefore) linking = detail::Linking::kStepByStep;
    // Only an evaluation that computed values ran code that could have changed the G-map.
    const bool intact = values.empty() || (gmap->size() >= base + added &&
                                           detail::rowDartsLive(*gmap, rows, base, added));
    if (!intact) {
        cutBack();
        throw GorvinUnexistentDartException{};
    }

    detail::linkAllRows(*gmap, plan, rows, right, base, linking);
    // The replaced values are released last: releasing one may run code that changes the G-map.
    const std::vector<typename Policy::Value> replaced = values.store(*gmap);
    detail::deleteMatched(*gmap, plan, rows, right, base);
}

// applyRuleWith, evaluating the rule's expression groups row by row: `evaluate(group, context)`
// computes the value of one group in one row.
template <class Policy, class Expression, class Evaluate>
void applyRule(const std::shared_ptr<IModeler<Policy>>& modeler,
               const std::shared_ptr<IGMap<Policy>>& gmap,
               const std::shared_ptr<IRule<Expression>>& rule, const InputHooks& hooks,
               Evaluate evaluate) {
    applyRuleWith(gmap, rule, hooks, [&](const MatchedRows& matched) {
        const ExprContext<Policy, Expression> context{modeler, rule, gmap,    {},
                                                      0,       0,    kNoLink, kNoLink};
        return detail::evaluateRows(context, matched, evaluate);
    });
}

} // namespace gorvin
