// The object behind RuleNodeLeft3D and RuleNodeRight3D: either a standalone copy of a node, or a
// view (rule, id) that resolves the stored node at every use. A view keeps its rule alive and stays
// valid when the rule's node lists grow; nodes are never removed, so its id always names a node.
#pragma once

#include "python_rules.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

namespace gorvin::python {

template <class Node> class RuleNodeObject {
  public:
    explicit RuleNodeObject(Node copy) : copy_(std::move(copy)) {}
    // A view of the node of rule named by key (an id, or the first node with a name); the rule's
    // lookup raises when key names no node.
    template <class Key>
    RuleNodeObject(std::shared_ptr<Rule> rule, const Key& key) : rule_(std::move(rule)) {
        id_ = stored(*rule_, key).id;
    }

    Node& node() { return rule_ ? stored(*rule_, id_) : *copy_; }
    const Node& node() const { return rule_ ? stored(*rule_, id_) : *copy_; }

  private:
    template <class Key> static Node& stored(Rule& rule, const Key& key) {
        if constexpr (std::is_same_v<Node, Rule::Left>)
            return rule.leftnode(key);
        else
            return rule.rightnode(key);
    }

    std::optional<Node> copy_;
    std::shared_ptr<Rule> rule_;
    std::uint32_t id_ = 0;
};

using LeftNodeObject = RuleNodeObject<Rule::Left>;
using RightNodeObject = RuleNodeObject<Rule::Right>;

// The `mult` parameter of the node constructors, defaulting to one instance.
inline py::arg_v multArgument() {
    return py::arg_v("mult", RuleNodeMultiplicity(1, 1), "RuleNodeMultiplicity(1, 1)");
}

using LeftNodeClass = py::class_<LeftNodeObject>;
using RightNodeClass = py::class_<RightNodeObject>;

} // namespace gorvin::python
