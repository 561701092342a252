// Rule applications whose expressions are evaluated once for all rows. An expression whose
// callable has a `batch_program` (a compiled point rule, point_program.h) runs here without a
// Python call per row; any other is computed by Python (python_columns.h). Same engine, rows, darts
// and links as GMap3D.apply; an evaluation that raises leaves the G-map as it was. The darts of a
// created node store nothing of their own for a slot with one expression: they are deferred to one
// pattern per distinct value (batch_values.h), so that a rule creating millions of darts makes
// dicts only for the darts that Python reads.
#include "batch_values.h"
#include "point_program.h"
#include "point_sweep.h"
#include "python_columns.h"

#include "gorvin/rules/engine.h"

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace gorvin::native {

namespace {

using python::Expression3D;
using python::Rule;

// Every expression group's values for all rows, in right-node and slot order.
class Evaluation {
  public:
    Evaluation(const std::shared_ptr<python::Modeler>& modeler, const std::shared_ptr<Rule>& rule,
               const std::shared_ptr<GMap>& gmap)
        : modeler_(modeler), rule_(rule), gmap_(gmap) {}

    BatchValues operator()(const MatchedRows& matched) {
        struct Group {
            std::uint32_t node;
            unsigned slot;
            std::vector<Expression3D> exprs;
        };
        std::vector<Group> groups; // copied: an evaluation may change the rule
        for (std::uint32_t q = 0; q < matched.plan.rightSize; ++q)
            for (unsigned s = 0; s < kSlots; ++s)
                if (const auto& group = rule_->rightnodes()[q].exprs[s])
                    groups.push_back({q, s, group->exprs});

        // The group whose values a node's darts are deferred to, created and kept alike: the
        // vertex slot's, or else the first, with one expression. A dart is deferred in one slot
        // at most.
        std::vector<const Group*> deferredGroup(matched.plan.rightSize, nullptr);
        for (const Group& group : groups) {
            const Group*& chosen = deferredGroup[group.node];
            if (group.exprs.size() == 1 && (!chosen || group.slot == kVertexSlot)) chosen = &group;
        }
        BatchValues values(&matched.right);
        for (const Group& group : groups) {
            const RowsOf rows{modeler_, rule_, gmap_, matched, group.node};
            std::vector<const Column*> columns;
            std::vector<py::str> keys;
            for (const Expression3D& expr : group.exprs) {
                columns.push_back(&columnOf(expr, rows));
                keys.push_back(internedKey(expr.name));
            }
            if (deferredGroup[group.node] == &group)
                values.defer(group.node, *columns[0], keys[0], group.slot);
            else
                values.addDicts(dictsOf(rows, group.slot, columns, keys));
        }
        // The reads are released before the values are stored: their pages serve the store's
        // tables, where fresh pages would cost more than the work.
        sweep_.reset();
        positions_.reset();
        return values;
    }

  private:
    // The values of one expression for every row. Built-in programs are run once per
    // application: nodes with the same program share its column.
    const Column& columnOf(const Expression3D& expr, const RowsOf& rows) {
        if (const py::object form = py::getattr(expr.fct, "batch_program", py::none());
            py::isinstance<PointProgram>(form)) {
            const auto& program = form.cast<const PointProgram&>();
            auto [known, added] = programs_.try_emplace(program.key());
            if (!positions_) positions_.emplace(*gmap_);
            if (!sweep_) sweep_.emplace(*gmap_, dartsBefore(*gmap_, rows.matched), *positions_);
            if (added)
                known->second =
                    pointProgramValues(*gmap_, program, rows.matched, *positions_, *sweep_);
            return known->second;
        }
        sweep_.reset(); // the expression may change the G-map's links and patterns
        positions_.reset();
        own_.push_back(py::hasattr(expr.fct, "batch")
                           ? rows.batch(expr.fct.attr("batch"), expr.name)
                           : rows.perRow(expr.fct));
        return own_.back();
    }

    // One dict per row, holding each expression's value under its name.
    static ComputedValues<py::object> dictsOf(const RowsOf& rows, unsigned slot,
                                              const std::vector<const Column*>& columns,
                                              const std::vector<py::str>& keys) {
        ComputedValues<py::object> dicts;
        dicts.values.reserve(rows.matched.rows.count);
        for (std::size_t r = 0; r < rows.matched.rows.count; ++r) {
            py::dict dict;
            for (std::size_t e = 0; e < keys.size(); ++e)
                if (PyDict_SetItem(dict.ptr(), keys[e].ptr(), columns[e]->at(r).ptr()) != 0)
                    throw py::error_already_set();
            dicts.values.push_back({rows.rightDart(r), slot, std::move(dict)});
        }
        return dicts;
    }

    const std::shared_ptr<python::Modeler>& modeler_;
    const std::shared_ptr<Rule>& rule_;
    const std::shared_ptr<GMap>& gmap_;
    std::map<std::string, Column> programs_;
    std::deque<Column> own_;                  // stable addresses
    std::optional<PositionReader> positions_; // shared by the programs run one after another
    std::optional<SweepReads> sweep_;         // reads positions_
};

void applyBatch(const std::shared_ptr<GMap>& gmap, const std::shared_ptr<Rule>& rule,
                std::vector<DartID> hooks) {
    if (!gmap || !rule) throw py::type_error("apply_batch: gmap and rule must not be None");
    const auto modeler = gmap->modeler().lock();
    if (!modeler) throw py::value_error("apply_batch: the G-map's modeler is gone");
    applyRuleWith(gmap, rule, AtomicInputHooks(std::move(hooks)), Evaluation(modeler, rule, gmap));
}

} // namespace

void bindBatch(py::module_& m) {
    m.def("apply_batch", &applyBatch, py::arg("gmap"), py::arg("rule"), py::arg("hooks"),
          "Applies rule at hooks (one dart per hook node) like GMap3D.apply, evaluating each "
          "expression once for all rows: its batch_program natively, its batch(gmap, left, right) "
          "method once, or else the callable per row.");
    m.def(
        "hook_column",
        [](const python::Rule& rule, const std::string& name) { return rule.hookColumn(name); },
        py::arg("rule"), py::arg("name"),
        "The column of rule.hooks that the first left node named name holds; None when there is "
        "none or it is no hook.");
}

} // namespace gorvin::native
