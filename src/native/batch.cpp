// Rule applications whose expressions are evaluated once for all rows. An expression whose
// callable has a `batch_program` (a compiled point rule, point_program.h) runs here without a
// Python call per row; one with a `batch` method is called once with the rows as NumPy arrays; any
// other is called per row with a Context3D, as GMap3D.apply calls it. Same engine, rows, darts and
// links as GMap3D.apply; an evaluation that raises leaves the G-map as it was. The darts of a
// created node store nothing of their own for a slot with one expression: they are deferred to one
// pattern per distinct value (each reads as its own dict, made on first read), so that a rule
// creating millions of darts makes dicts only for the darts that Python reads.
#include "batch_columns.h"
#include "point_program.h"
#include "point_sweep.h"
#include "python_rules.h"

#include "gorvin/core/dart_map.h"
#include "gorvin/core/orbit.h"
#include "gorvin/rules/engine.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace gorvin::native {

namespace {

using python::Context;
using python::Expression3D;
using python::Rule;

// Whether the table pattern an item was read from is still that item under key in slot.
bool isPattern(const Item& item, const GMap::Embeddings& table, const py::str& key, unsigned slot) {
    if (item.pattern == kAbsent || item.pattern >= table.patternCount()) return false;
    const Pattern& known = table.pattern(item.pattern);
    const DeferredDict& value = known.value;
    return known.held && known.slot == slot && value.kind != DeferredDict::Kind::copy &&
           value.item.is(item.item) && value.block == item.block && value.row == item.row &&
           value.key.is(key);
}

// A column whose rows have their own values.
Column ownValues(std::vector<py::object> values) {
    Column column;
    column.of.resize(values.size());
    for (std::size_t r = 0; r < values.size(); ++r)
        column.of[r] = column.add(std::move(values[r]));
    return column;
}

// What a `batch` method returned, one value per row: a 2-d array gives a tuple of floats per row,
// a 1-d array its items as Python numbers, any other sequence its items.
std::vector<py::object> valuesOf(const py::object& result, std::size_t count,
                                 const std::string& name) {
    std::vector<py::object> out(count);
    const auto wrongCount = [&](std::size_t got) {
        return py::value_error("batch expression '" + name + "' returned " + std::to_string(got) +
                               " values for " + std::to_string(count) + " rows");
    };
    if (py::isinstance<py::array>(result) && py::cast<py::array>(result).ndim() == 2) {
        const auto table = py::array_t<double, kIdArray>::ensure(result);
        if (!table) throw py::error_already_set();
        if (static_cast<std::size_t>(table.shape(0)) != count) throw wrongCount(table.shape(0));
        const auto width = static_cast<std::size_t>(table.shape(1));
        for (std::size_t r = 0; r < count; ++r)
            out[r] = tupleOf(table.data() + r * width, width);
        return out;
    }
    const py::object items = py::isinstance<py::array>(result) ? result.attr("tolist")() : result;
    const auto values = items.cast<py::sequence>();
    if (values.size() != count) throw wrongCount(values.size());
    for (std::size_t r = 0; r < count; ++r)
        out[r] = values[r];
    return out;
}

// The rows of an application as the expressions of one right node see them.
struct RowsOf {
    const std::shared_ptr<python::Modeler>& modeler;
    const std::shared_ptr<Rule>& rule;
    const std::shared_ptr<GMap>& gmap;
    const MatchedRows& matched;
    std::uint32_t node;

    DartID rightDart(std::size_t r) const { return matched.right(r, node); }

    Column batch(const py::object& method, const std::string& name) const {
        const RowTable& rows = matched.rows;
        py::array_t<DartID> left(
            {static_cast<py::ssize_t>(rows.count), static_cast<py::ssize_t>(rows.leftSize)});
        std::copy(rows.left.data(), rows.left.data() + rows.count * rows.leftSize,
                  left.mutable_data());
        py::array_t<DartID> right(static_cast<py::ssize_t>(rows.count));
        for (std::size_t r = 0; r < rows.count; ++r)
            right.mutable_data()[r] = rightDart(r);
        return ownValues(valuesOf(method(python::pinned(gmap), left, right), rows.count, name));
    }

    Column perRow(const py::object& fct) const {
        const RowTable& rows = matched.rows;
        const std::uint32_t source = matched.plan.source[node];
        std::vector<py::object> out(rows.count);
        for (std::size_t r = 0; r < rows.count; ++r) {
            const DartID* left = rows.left.data() + r * rows.leftSize;
            auto context = std::make_shared<Context>(
                Context{modeler, rule, gmap, std::vector<DartID>(left, left + rows.leftSize),
                        static_cast<std::uint32_t>(r), node,
                        source == kNoLink ? kNoLink : left[source], rightDart(r)});
            out[r] = fct(py::cast(std::move(context)));
        }
        return ownValues(std::move(out));
    }
};

// The computed values of an application: dicts made now for nodes and slots with several
// expressions, and for a created node's darts one pattern per distinct value, which they are
// deferred to when the values are stored: a table pattern the value was read from when it still
// is that value, else a new one.
class BatchValues {
  public:
    explicit BatchValues(const RightDarts* right = nullptr) : right_(right) {}

    bool empty() const { return dicts_.empty() && deferred_.empty(); }

    void addDicts(ComputedValues<py::object> dicts) {
        for (auto& computed : dicts.values)
            dicts_.values.push_back(std::move(computed));
    }

    // Row r's dart of right node `node` gets distinct value column.of[r] under key in slot. Nodes
    // deferred to the same column, key and slot share its patterns.
    void defer(std::uint32_t node, const Column& column, const py::str& key, unsigned slot) {
        auto [known, added] = firstSource_.try_emplace({&column, key.ptr(), slot},
                                                       static_cast<std::uint32_t>(sources_.size()));
        if (added)
            for (const Item& item : column.distinct)
                sources_.push_back({&item, key, slot});
        deferred_.push_back({node, &column, known->second});
    }

    std::vector<py::object> store(GMap& gmap) {
        std::vector<py::object> replaced = dicts_.store(gmap);
        auto& table = gmap.embeddings();
        table.reservePatterns(sources_.size());
        std::vector<std::uint32_t> number(sources_.size());
        for (std::size_t i = 0; i < sources_.size(); ++i) {
            const Source& source = sources_[i];
            number[i] = isPattern(*source.item, table, source.key, source.slot)
                            ? source.item->pattern
                            : table.addPattern(source.item->deferred(source.key), source.slot);
        }
        for (const Deferred& group : deferred_) {
            const std::vector<std::uint32_t>& of = group.column->of;
            for (std::size_t r = 0; r < of.size(); ++r)
                if (py::object old =
                        table.defer((*right_)(r, group.node), number[group.first + of[r]]))
                    replaced.push_back(std::move(old));
        }
        // Patterns the deferrals replaced: their objects are released by the caller; a point
        // block holds only tuples of floats, which run no code when released.
        for (DeferredDict& unused : table.takeUnusedPatterns()) {
            replaced.push_back(std::move(unused.key));
            replaced.push_back(std::move(unused.item));
        }
        return replaced;
    }

  private:
    struct Source {
        const Item* item;
        py::str key;
        unsigned slot;
    };
    struct Deferred {
        std::uint32_t node;
        const Column* column;
        std::uint32_t first; // its first source
    };
    const RightDarts* right_;
    ComputedValues<py::object> dicts_;
    std::vector<Source> sources_;
    std::map<std::tuple<const Column*, PyObject*, unsigned>, std::uint32_t> firstSource_;
    std::vector<Deferred> deferred_;
};

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
