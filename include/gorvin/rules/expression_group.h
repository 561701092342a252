// Expression groups and the expression table of a right node. A group holds, in the order they
// were given, the expressions of one node whose orbit bitmask is the same; the table holds one
// optional group per embedding slot. Expression is any type with a `std::vector<int> orbit`.
#pragma once

#include "gorvin/core/types.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace gorvin {

template <class Expression> struct ExprsOrbit {
    std::vector<Expression> exprs;
    std::uint64_t mask = 0;
};

template <class Expression>
using ExprTable = std::array<std::optional<ExprsOrbit<Expression>>, kSlots>;

// Sorts expressions into slots by orbit bitmask, keeping list order; masks of 16 or more are
// dropped.
template <class Expression>
ExprTable<Expression> makeExprTable(const std::vector<Expression>& exprs) {
    ExprTable<Expression> table;
    for (const Expression& expr : exprs) {
        const std::uint64_t mask = orbitMask(expr.orbit);
        if (mask >= kSlots) continue;
        auto& group = table[mask];
        if (!group) group = ExprsOrbit<Expression>{{}, mask};
        group->exprs.push_back(expr);
    }
    return table;
}

} // namespace gorvin
