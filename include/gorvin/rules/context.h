// The evaluation context of an expression: where in an application it is being evaluated. It
// shares ownership of the modeler, rule and G-map and owns its copy of the row's left darts, so a
// context kept after its call stays valid.
#pragma once

#include "gorvin/core/gmap.h"
#include "gorvin/core/modeler.h"
#include "gorvin/core/types.h"
#include "gorvin/rules/rule.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace gorvin {

template <class Policy, class Expression> struct ExprContext {
    std::shared_ptr<IModeler<Policy>> modeler;
    std::shared_ptr<IRule<Expression>> rule;
    std::shared_ptr<IGMap<Policy>> gmap;
    std::vector<DartID> leftpattern;
    std::uint32_t rowid = 0;
    std::uint32_t rnodeid = 0;
    DartID leftdart = kNoLink;
    DartID rightdart = kNoLink;
};

} // namespace gorvin
