// Test support, built beside the module and never installed: hands the tests what the module keeps
// internal, so that expression groups can be called without the rule engine.
#include "python_rules.h"
#include "rule_node_object.h"

using namespace gorvin::python;

PYBIND11_MODULE(gorvin_testing, m) {
    py::module_::import("gorvinpy_bin");
    m.def(
        "expression_table",
        [](const RightNodeObject& node) { return ExpressionTable{node.node().exprs}; },
        py::arg("node"));
}
