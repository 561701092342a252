// Rule nodes: one dart of a matched instance. Links name nodes of the same side per dimension
// 0..3: kNoLink when unlinked, the node's own id for a loop. Right nodes carry an expression table.
#pragma once

#include "gorvin/core/types.h"
#include "gorvin/rules/expression_group.h"
#include "gorvin/rules/multiplicity.h"

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace gorvin {

template <unsigned Dimension> struct RuleNode {
    std::string name;
    std::uint32_t id = 0;
    std::vector<int> orbit;
    std::array<std::uint32_t, Dimension + 1> links{kNoLink, kNoLink, kNoLink, kNoLink};
    RuleNodeMultiplicity multiplicity;

    RuleNode(std::string name, std::uint32_t id, std::vector<int> orbit, RuleNodeMultiplicity mult)
        : name(std::move(name)), id(id), orbit(std::move(orbit)), multiplicity(mult) {}
};

struct RuleNodeLeft : RuleNode<kDimension> {
    bool isHook = false;

    RuleNodeLeft(std::string name, std::uint32_t id, std::vector<int> orbit, bool isHook,
                 RuleNodeMultiplicity mult)
        : RuleNode(std::move(name), id, std::move(orbit), mult), isHook(isHook) {}
};

template <class Expression> struct RuleNodeRight : RuleNode<kDimension> {
    ExprTable<Expression> exprs;

    RuleNodeRight(std::string name, std::uint32_t id, std::vector<int> orbit,
                  ExprTable<Expression> exprs, RuleNodeMultiplicity mult)
        : RuleNode(std::move(name), id, std::move(orbit), mult), exprs(std::move(exprs)) {}
};

} // namespace gorvin
