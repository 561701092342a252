// A graph-transformation rule: a left pattern and a right pattern of nodes, paired by name on
// compile(). Node ids are positions, 0.. in creation order; nodes are never removed, and once
// compiled no node is added, so the assoc tables stay in step with the node lists.
#pragma once

#include "gorvin/core/exceptions.h"
#include "gorvin/core/types.h"
#include "gorvin/rules/input_hooks.h"
#include "gorvin/rules/rule_node.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace gorvin {

template <class Expression> class IRule {
  public:
    using Left = RuleNodeLeft;
    using Right = RuleNodeRight<Expression>;

    explicit IRule(std::string name, std::string category = "")
        : name_(std::move(name)), category_(std::move(category)) {}

    const std::string& name() const { return name_; }
    const std::string& category() const { return category_; }
    bool isCompiled() const { return compiled_; }
    const std::vector<Left>& leftnodes() const { return leftnodes_; }
    const std::vector<Right>& rightnodes() const { return rightnodes_; }

    const Left& makeLeftNode(std::string name, std::vector<int> orbit, bool isHook,
                             RuleNodeMultiplicity mult) {
        if (compiled_) throw GorvinRuleAlreadyCompiled{};
        const auto id = static_cast<std::uint32_t>(leftnodes_.size());
        leftnodes_.emplace_back(std::move(name), id, std::move(orbit), isHook, mult);
        return leftnodes_.back();
    }

    const Right& makeRightNode(std::string name, std::vector<int> orbit,
                               const std::vector<Expression>& exprs, RuleNodeMultiplicity mult) {
        ExprTable<Expression> table = makeExprTable(exprs);
        if (compiled_) throw GorvinRuleAlreadyCompiled{};
        const auto id = static_cast<std::uint32_t>(rightnodes_.size());
        rightnodes_.emplace_back(std::move(name), id, std::move(orbit), std::move(table), mult);
        return rightnodes_.back();
    }

    // Checked access by id; an id that names no node raises the side's lookup error.
    Left& leftnode(std::uint64_t id) {
        if (id >= leftnodes_.size()) throw GorvinUnfoundLeftNodeExpcetion{};
        return leftnodes_[id];
    }
    Right& rightnode(std::uint64_t id) {
        if (id >= rightnodes_.size()) throw GorvinUnfoundRightNodeExpcetion{};
        return rightnodes_[id];
    }
    // The first node with this name.
    Left& leftnode(const std::string& name) {
        return leftnodes_[firstNamed(leftnodes_, name, GorvinUnfoundLeftNodeExpcetion{})];
    }
    Right& rightnode(const std::string& name) {
        return rightnodes_[firstNamed(rightnodes_, name, GorvinUnfoundRightNodeExpcetion{})];
    }

    void linkLeftNodes(Dim d, std::uint32_t a, std::uint32_t b) {
        link(leftnodes_, d, a, b, leftError());
    }
    void linkLeftNodes(Dim d, std::uint32_t a) { loop(leftnodes_, d, a, leftError()); }
    void linkRightNodes(Dim d, std::uint32_t a, std::uint32_t b) {
        link(rightnodes_, d, a, b, rightError());
    }
    void linkRightNodes(Dim d, std::uint32_t a) { loop(rightnodes_, d, a, rightError()); }

    // Pairs nodes by name: assoc[r] = first left node named like r, leftToRight[l] likewise; -1
    // none.
    void compile() {
        if (compiled_) return;
        assoc_.assign(rightnodes_.size(), -1);
        leftToRight_.assign(leftnodes_.size(), -1);
        for (const Right& r : rightnodes_)
            assoc_[r.id] = firstNamedOr(leftnodes_, r.name);
        for (const Left& l : leftnodes_)
            leftToRight_[l.id] = firstNamedOr(rightnodes_, l.name);
        compiled_ = true;
    }

    const std::vector<std::int32_t>& assocTable() const { return assoc_; }
    const std::vector<std::int32_t>& leftToRightTable() const { return leftToRight_; }
    // assoc[id] as an unsigned value; kNoLink when absent or out of the table.
    std::uint32_t assoc(std::uint64_t id) const {
        return id < assoc_.size() ? static_cast<std::uint32_t>(assoc_[id]) : kNoLink;
    }
    bool isCreated(std::uint64_t id) const { return id < assoc_.size() && assoc_[id] == -1; }
    bool isKept(std::uint64_t id) const { return id < assoc_.size() && assoc_[id] != -1; }
    bool isDeleted(std::uint64_t id) const {
        return id < leftToRight_.size() && leftToRight_[id] == -1;
    }

    std::vector<std::uint32_t> createdRightNodesID() const { return positions(assoc_, true); }
    std::vector<std::uint32_t> keptRightNodesID() const { return positions(assoc_, false); }
    std::vector<std::uint32_t> deletedLeftNodesID() const { return positions(leftToRight_, true); }

    std::vector<std::uint32_t> hooks() const {
        std::vector<std::uint32_t> ids;
        for (const Left& l : leftnodes_)
            if (l.isHook) ids.push_back(l.id);
        return ids;
    }
    // The column of hooks() that the first left node named `name` holds; none when no left node
    // has that name or the first that has it is no hook.
    std::optional<std::size_t> hookColumn(const std::string& name) const {
        const std::int32_t node = firstNamedOr(leftnodes_, name);
        if (node < 0 || !leftnodes_[static_cast<std::size_t>(node)].isHook) return std::nullopt;
        return static_cast<std::size_t>(std::count_if(leftnodes_.begin(), leftnodes_.begin() + node,
                                                      [](const Left& l) { return l.isHook; }));
    }
    std::size_t countHooks() const {
        return static_cast<std::size_t>(std::count_if(leftnodes_.begin(), leftnodes_.end(),
                                                      [](const Left& l) { return l.isHook; }));
    }

    // True when the hooks have one column per hook node and every left node admits one instance.
    bool match(const InputHooks& hooks) const {
        return hooks.sizeCol() == countHooks() &&
               std::all_of(leftnodes_.begin(), leftnodes_.end(),
                           [](const Left& l) { return l.multiplicity.admitsOne(); });
    }

  private:
    static GorvinUnfoundLeftNodeExpcetion leftError() { return {}; }
    static GorvinUnfoundRightNodeExpcetion rightError() { return {}; }

    template <class Node>
    static std::int32_t firstNamedOr(const std::vector<Node>& nodes, const std::string& name) {
        for (const Node& node : nodes)
            if (node.name == name) return static_cast<std::int32_t>(node.id);
        return -1;
    }
    template <class Node, class Error>
    static std::size_t firstNamed(const std::vector<Node>& nodes, const std::string& name,
                                  Error error) {
        const std::int32_t id = firstNamedOr(nodes, name);
        if (id < 0) throw error;
        return static_cast<std::size_t>(id);
    }

    // Ids whose table entry is (absent == true) or is not (absent == false) -1, ascending.
    static std::vector<std::uint32_t> positions(const std::vector<std::int32_t>& table,
                                                bool absent) {
        std::vector<std::uint32_t> ids;
        for (std::size_t i = 0; i < table.size(); ++i)
            if ((table[i] == -1) == absent) ids.push_back(static_cast<std::uint32_t>(i));
        return ids;
    }

    // Links a and b along d, the former partners of both becoming loops.
    template <class Node, class Error>
    static void link(std::vector<Node>& nodes, Dim d, std::uint32_t a, std::uint32_t b,
                     Error error) {
        if (d > kDimension) throw GorvinDimensionException{};
        if (a >= nodes.size() || b >= nodes.size()) throw error;
        const std::uint32_t x = nodes[a].links[d], y = nodes[b].links[d];
        makeLoop(nodes, d, x);
        makeLoop(nodes, d, y);
        nodes[a].links[d] = b;
        nodes[b].links[d] = a;
    }
    template <class Node, class Error>
    static void loop(std::vector<Node>& nodes, Dim d, std::uint32_t a, Error error) {
        if (d > kDimension) throw GorvinDimensionException{};
        if (a >= nodes.size()) throw error;
        makeLoop(nodes, d, nodes[a].links[d]);
        nodes[a].links[d] = a;
    }
    // A partner id written by __setitem__ may name no node: such an id is left alone.
    template <class Node> static void makeLoop(std::vector<Node>& nodes, Dim d, std::uint32_t x) {
        if (x < nodes.size()) nodes[x].links[d] = x;
    }

    std::string name_;
    std::string category_;
    bool compiled_ = false;
    std::vector<Left> leftnodes_;
    std::vector<Right> rightnodes_;
    std::vector<std::int32_t> leftToRight_;
    std::vector<std::int32_t> assoc_;
};

} // namespace gorvin
