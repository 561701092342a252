// Test support, built beside the module and never installed: hands the tests what the module keeps
// internal, so that expression groups can be called without the rule engine and the tables of a
// G-map can be read whole, deleted slots included.
#include "python_rules.h"
#include "rule_node_object.h"

#include <vector>

using namespace gorvin;
using namespace gorvin::python;

PYBIND11_MODULE(gorvin_testing, m) {
    py::module_::import("gorvinpy_bin");
    m.def(
        "expression_table",
        [](const RightNodeObject& node) { return ExpressionTable{node.node().exprs}; },
        py::arg("node"));
    m.def(
        "dart_table",
        [](const GMap& gmap) {
            const DartTable darts = gmap.darts(); // a copy: building the list runs Python
            py::list rows;
            for (const IDart& dart : darts)
                rows.append(py::make_tuple(dart.id, dart.alpha[0], dart.alpha[1], dart.alpha[2],
                                           dart.alpha[3]));
            return rows;
        },
        py::arg("gmap"), "every slot as (id, alpha0, alpha1, alpha2, alpha3)");
    m.def(
        "tables_agree", [](GMap& gmap) { return gmap.darts().size() == gmap.embeddings().size(); },
        py::arg("gmap"), "true when the dart table and the embedding table have the same length");
}
