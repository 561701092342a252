// Rule applications whose expressions are evaluated once for all rows. An expression whose
// callable has a `batch_program` (built-in position programs) runs here without a Python call per
// row; one with a `batch` method is called once with the rows as NumPy arrays; any other is
// called per row with a Context3D, as GMap3D.apply calls it. Same engine, rows, darts and links as
// GMap3D.apply; an evaluation that raises leaves the G-map as it was.
// The darts of a created node store nothing of their own for a slot with one expression: they are
// deferred to one pattern per distinct value (each reads as its own dict, made on first read), so
// that a rule creating millions of darts makes dicts only for the darts that Python reads.
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

Pattern patternFor(const Item& item, const py::str& key, unsigned slot) {
    return item.blockRow ? pointRowPattern(key, item.item, item.index, slot)
                         : oneEntryPattern(key, item.item, slot);
}

// Whether the table pattern an item was read from is still that item under key in slot.
bool isPattern(const Item& item, const GMap::Embeddings& table, const py::str& key, unsigned slot) {
    if (item.pattern == kAbsent || item.pattern >= table.patternCount()) return false;
    const Pattern& known = table.pattern(item.pattern);
    return known.make == (item.blockRow ? &pointRowDict : &oneEntryDict) &&
           known.item.is(item.item) && known.index == item.index && known.key.is(key) &&
           known.slot == slot;
}

// A column whose rows have their own values.
Column ownValues(std::vector<py::object> values) {
    Column column;
    column.of.resize(values.size());
    for (std::size_t r = 0; r < values.size(); ++r)
        column.of[r] = column.add(std::move(values[r]));
    return column;
}

// The cell of each row in the orbit `dims` of its dart of left node 0, numbered from 0 in order of
// first row, found through the rows' neighbours: for a rule with one left node whose orbit holds
// every dimension of `dims` at a position where rows know their neighbour. Empty otherwise.
std::vector<std::uint32_t> rowCells(const MatchedRows& matched, const std::vector<int>& dims) {
    const RulePlan& plan = matched.plan;
    const RowTable& rows = matched.rows;
    if (plan.leftSize != 1 || plan.hooks.size() != 1) return {};
    std::vector<std::size_t> positions;
    for (int d : dims) {
        std::size_t k = 0;
        while (k < plan.orbitLength && plan.hookDim(0, k) != d)
            ++k;
        if (k == plan.orbitLength ||
            !std::binary_search(plan.neededPositions.begin(), plan.neededPositions.end(), k))
            return {};
        positions.push_back(k);
    }
    std::vector<std::uint32_t> cell(rows.count, kAbsent);
    std::vector<std::uint32_t> stack;
    std::uint32_t cells = 0;
    for (std::size_t r = 0; r < rows.count; ++r) {
        if (cell[r] != kAbsent) continue;
        cell[r] = cells;
        stack.push_back(static_cast<std::uint32_t>(r));
        while (!stack.empty()) {
            const std::uint32_t w = stack.back();
            stack.pop_back();
            for (std::size_t k : positions) {
                const std::uint32_t n = rows.neighbourRow(w, k);
                if (n != kNoLink && cell[n] == kAbsent) {
                    cell[n] = cells;
                    stack.push_back(n);
                }
            }
        }
        ++cells;
    }
    return cell;
}

// The mean position over the orbit `dims` of darts. Each cell is summed once, its darts in
// ascending id order from 0.0, then divided by its size; its darts remember the cell. An empty
// `dims` is the dart's own position.
class OrbitMeans {
  public:
    OrbitMeans(GMap& gmap, std::vector<int> dims, PositionReader& positions)
        : gmap_(gmap), dims_(std::move(dims)), positions_(positions), cellOf_(gmap.size()) {}

    bool single() const { return dims_.empty(); }
    const std::vector<int>& dims() const { return dims_; }
    PositionReader& positions() { return positions_; }

    // The cell of slot x, summed on first use (not for an empty orbit).
    std::uint32_t cell(DartID x) {
        const std::uint32_t c = cellOf_.get(x);
        if (c != kAbsent) return c;
        const std::vector<DartID> members = orbitDarts(gmap_, dims_, x);
        for (DartID d : members)
            cellOf_.set(d, static_cast<std::uint32_t>(means_.size()));
        return addCell(members);
    }

    // A cell of these darts, known to be one (in ascending order); its number.
    std::uint32_t addCell(const std::vector<DartID>& ascending) {
        Point sum{0.0, 0.0, 0.0};
        for (DartID d : ascending) {
            const Point p = positions_.point(d);
            for (int axis = 0; axis < 3; ++axis)
                sum[axis] += p[axis];
        }
        for (double& axis : sum)
            axis /= static_cast<double>(ascending.size());
        means_.push_back(sum);
        return static_cast<std::uint32_t>(means_.size() - 1);
    }

    const Point& meanOfCell(std::uint32_t c) const { return means_[c]; }
    Point mean(DartID x) { return single() ? positions_.point(x) : means_[cell(x)]; }

  private:
    GMap& gmap_;
    std::vector<int> dims_;
    PositionReader& positions_;
    DartMap cellOf_;
    std::vector<Point> means_;
};

// OrbitMeans of the darts of a left node, by row. Cells that the rows themselves tell (rowCells)
// are summed up front, without walking the G-map.
class RowMeans {
  public:
    RowMeans(GMap& gmap, const MatchedRows& matched, std::uint32_t node, std::vector<int> dims,
             PositionReader& positions)
        : rows_(matched.rows), node_(node), means_(gmap, std::move(dims), positions) {
        if (!means_.single() && node == 0) rowCell_ = rowCells(matched, means_.dims());
        if (!rowCell_.empty()) sumRowCells();
    }

    bool single() const { return means_.single(); }
    PositionReader& positions() { return means_.positions(); }
    DartID dart(std::size_t r) const { return rows_.leftDart(r, node_); }

    // The cell of row r's dart (not for an empty orbit).
    std::uint32_t cell(std::size_t r) {
        return rowCell_.empty() ? means_.cell(dart(r)) : rowCell_[r];
    }
    Point mean(std::size_t r) {
        return single() ? means_.mean(dart(r)) : means_.meanOfCell(cell(r));
    }

  private:
    // Sums every row cell, numbered as rowCells numbers them, over its darts in ascending order.
    void sumRowCells() {
        const std::uint32_t cells = *std::max_element(rowCell_.begin(), rowCell_.end()) + 1;
        std::vector<std::size_t> start(cells + 1, 0);
        for (std::uint32_t c : rowCell_)
            ++start[c + 1];
        for (std::uint32_t c = 0; c < cells; ++c)
            start[c + 1] += start[c];
        std::vector<DartID> darts(rows_.count);
        std::vector<std::size_t> next(start.begin(), start.end() - 1);
        for (std::size_t r = 0; r < rows_.count; ++r)
            darts[next[rowCell_[r]]++] = dart(r);
        std::vector<DartID> members;
        for (std::uint32_t c = 0; c < cells; ++c) {
            members.assign(darts.begin() + static_cast<std::ptrdiff_t>(start[c]),
                           darts.begin() + static_cast<std::ptrdiff_t>(start[c + 1]));
            std::sort(members.begin(), members.end());
            means_.addCell(members);
        }
    }

    const RowTable& rows_;
    std::uint32_t node_;
    OrbitMeans means_;
    std::vector<std::uint32_t> rowCell_;
};

// A built-in position computation, read from an expression's `batch_program`:
// ("copy", node): the position object of the node's dart;
// ("constant", point): that object;
// ("affine", [(node, orbit, weight), ...], offset or None): sum of weight * orbit mean, in term
// order (the first term alone starts the sum), plus the offset.
struct Program {
    struct Term {
        std::uint32_t node;
        std::vector<int> orbit;
        double weight;
    };
    std::string kind;
    std::uint32_t node = 0;
    py::object constant;
    std::vector<Term> terms;
    std::optional<Point> offset;
};

std::uint32_t checkedNode(const py::handle& value, std::size_t leftSize) {
    const auto node = value.cast<std::uint32_t>();
    if (node >= leftSize)
        throw py::value_error("batch program: left node " + std::to_string(node) +
                              " of a rule with " + std::to_string(leftSize) + " left nodes");
    return node;
}

Program programOf(const py::object& form, std::size_t leftSize) {
    const auto items = form.cast<py::tuple>();
    Program program;
    program.kind = items[0].cast<std::string>();
    if (program.kind == "copy") {
        program.node = checkedNode(items[1], leftSize);
    } else if (program.kind == "constant") {
        program.constant = items[1];
    } else if (program.kind == "affine") {
        for (const auto& term : items[1].cast<py::list>()) {
            const auto parts = term.cast<py::tuple>();
            program.terms.push_back({checkedNode(parts[0], leftSize),
                                     parts[1].cast<std::vector<int>>(), parts[2].cast<double>()});
        }
        if (!items[2].is_none()) program.offset = items[2].cast<Point>();
    } else {
        throw py::value_error("batch program: unknown kind '" + program.kind + "'");
    }
    return program;
}

// The values of an affine program for every row, as points. Rows of one cell (a single term over
// an orbit), or of darts deferred to one position pattern (a single term without orbit), share one.
Column affineValues(GMap& gmap, const Program& program, const MatchedRows& matched,
                    PositionReader& positions) {
    const RowTable& rows = matched.rows;
    std::vector<RowMeans> means;
    for (const auto& term : program.terms)
        means.emplace_back(gmap, matched, term.node, term.orbit, positions);
    const auto pointAt = [&](std::size_t r) {
        Point sum{};
        for (std::size_t i = 0; i < means.size(); ++i) {
            const Point m = means[i].mean(r);
            for (int axis = 0; axis < 3; ++axis) {
                const double term = program.terms[i].weight * m[axis];
                sum[axis] = i == 0 ? term : sum[axis] + term;
            }
        }
        if (program.offset)
            for (int axis = 0; axis < 3; ++axis)
                sum[axis] =
                    means.empty() ? (*program.offset)[axis] : sum[axis] + (*program.offset)[axis];
        return sum;
    };
    Column out;
    out.of = backedVector<std::uint32_t>(rows.count);
    if (means.size() != 1) {
        for (std::size_t r = 0; r < rows.count; ++r)
            out.of[r] = out.add(pointAt(r));
        return std::move(out).finish();
    }
    RowMeans& only = means[0];
    SharedBy shared(only.single() ? gmap.embeddings().patternCount() : rows.count);
    for (std::size_t r = 0; r < rows.count; ++r) {
        const std::size_t key =
            only.single() ? only.positions().pattern(only.dart(r)) : only.cell(r);
        out.of[r] = shared(out, key, [&] { return pointAt(r); });
    }
    return std::move(out).finish();
}

// The positions of the node's darts; darts deferred to one pattern share it.
Column copiedValues(GMap& gmap, std::uint32_t node, const RowTable& rows,
                    PositionReader& positions) {
    Column out;
    out.of = backedVector<std::uint32_t>(rows.count);
    SharedBy shared(gmap.embeddings().patternCount());
    for (std::size_t r = 0; r < rows.count; ++r) {
        const DartID x = rows.leftDart(r, node);
        out.of[r] = shared(out, positions.pattern(x), [&] { return positions.item(x); });
    }
    return out;
}

Column programValues(GMap& gmap, const Program& program, const MatchedRows& matched,
                     PositionReader& positions) {
    if (program.kind == "affine") return affineValues(gmap, program, matched, positions);
    if (program.kind == "copy") return copiedValues(gmap, program.node, matched.rows, positions);
    Column out;
    out.of.assign(matched.rows.count, out.add(program.constant));
    return out;
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
                            : table.addPattern(patternFor(*source.item, source.key, source.slot));
        }
        for (const Deferred& group : deferred_) {
            const std::vector<std::uint32_t>& of = group.column->of;
            for (std::size_t r = 0; r < of.size(); ++r)
                if (py::object old =
                        table.defer((*right_)(r, group.node), number[group.first + of[r]]))
                    replaced.push_back(std::move(old));
        }
        for (py::object& unused : table.takeUnusedPatterns()) // patterns the deferrals replaced
            replaced.push_back(std::move(unused));
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
        const RowTable& table = rows.matched.rows;
        if (py::hasattr(expr.fct, "batch_program")) {
            const py::object form = expr.fct.attr("batch_program");
            if (py::isinstance<PointProgram>(form)) {
                const auto& program = form.cast<const PointProgram&>();
                auto [known, added] = programs_.try_emplace(program.key());
                if (!positions_) positions_.emplace(*gmap_);
                if (!sweep_) sweep_.emplace(*gmap_, dartsBefore(*gmap_, rows.matched), *positions_);
                if (added)
                    known->second =
                        pointProgramValues(*gmap_, program, rows.matched, *positions_, *sweep_);
                return known->second;
            }
            auto [known, added] = programs_.try_emplace(py::repr(form).cast<std::string>());
            if (!positions_) positions_.emplace(*gmap_);
            if (added)
                known->second = programValues(*gmap_, programOf(form, table.leftSize), rows.matched,
                                              *positions_);
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

// The orbit means of many darts, as an (n, 3) array.
py::array_t<double> orbitMeans(GMap& gmap, const Ids& ids, const std::vector<int>& dims) {
    const std::vector<DartID> darts = checkedIds(gmap, ids);
    PositionReader positions(gmap);
    OrbitMeans means(gmap, dims, positions);
    py::array_t<double> out({static_cast<py::ssize_t>(darts.size()), py::ssize_t{3}});
    double* row = out.mutable_data();
    for (DartID dart : darts) {
        const Point mean = means.mean(dart);
        std::copy(mean.begin(), mean.end(), row);
        row += 3;
    }
    return out;
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
    m.def("orbit_means", &orbitMeans, py::arg("gmap"), py::arg("darts"), py::arg("dims"),
          "The mean position over the orbit dims of each dart, as an (n, 3) array; each cell is "
          "summed once, in ascending dart order.");
}

} // namespace gorvin::native
