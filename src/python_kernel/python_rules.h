// The rule kernel instantiated for Python: expressions hold Python callables, and a group
// evaluates to a dict.
#pragma once

#include "python_types.h"

#include "gorvin/core/dimension_list.h"
#include "gorvin/rules/context.h"
#include "gorvin/rules/expression_group.h"
#include "gorvin/rules/input_hooks.h"
#include "gorvin/rules/rule.h"

#include <string>
#include <vector>

namespace gorvin::python {

// An expression: the embedding key, the orbit whose slot it feeds, and the callable.
struct Expression3D {
    std::string name;
    std::vector<int> orbit;
    py::object fct;
};

using Rule = IRule<Expression3D>;
using Group = ExprsOrbit<Expression3D>;
using Context = ExprContext<DictEmbedding, Expression3D>;

// The expression table of a right node as Python sees it (AllExpressions3D).
struct ExpressionTable {
    ExprTable<Expression3D> groups;
};

using RuleClass = py::class_<Rule, std::shared_ptr<Rule>>;
using InputHooksClass = py::class_<AtomicInputHooks>;
using ContextClass = py::class_<Context, std::shared_ptr<Context>>;

// Calls each expression of the group with a Context3D, in order, and collects the results in a
// new dict under the expressions' names. On failure writes the error line to standard error and
// rethrows. Holds the process-wide evaluation lock without ever deadlocking.
py::dict evaluate(const Group& group, const Context& context);

} // namespace gorvin::python
