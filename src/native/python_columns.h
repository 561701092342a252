// Columns computed by Python: an expression's `batch` method called once with every row, or its
// callable called per row with a Context3D, as GMap3D.apply calls it.
#pragma once

#include "batch_columns.h"
#include "python_rules.h"

#include "gorvin/rules/engine.h"

#include <cstdint>
#include <memory>
#include <string>

namespace gorvin::native {

// The rows of an application as the expressions of one right node see them.
struct RowsOf {
    const std::shared_ptr<python::Modeler>& modeler;
    const std::shared_ptr<python::Rule>& rule;
    const std::shared_ptr<GMap>& gmap;
    const MatchedRows& matched;
    std::uint32_t node;

    DartID rightDart(std::size_t r) const { return matched.right(r, node); }

    // The values method(gmap, left, right) returns for all rows (left: the rows' left darts,
    // right: the node's dart in each row); ValueError naming the expression unless it returns one
    // per row.
    Column batch(const py::object& method, const std::string& name) const;
    // The value fct(context) of each row.
    Column perRow(const py::object& fct) const;
};

} // namespace gorvin::native
