// Rule applications whose expressions are evaluated once for all rows. An expression whose
// callable has a `batch_program` (built-in position programs) runs here without a Python call per
// row; one with a `batch` method is called once with the rows as NumPy arrays; any other is
// called per row with a Context3D, as GMap3D.apply calls it. Same engine, rows, darts and links as
// GMap3D.apply; an evaluation that raises leaves the G-map as it was.
#include "native.h"
#include "python_rules.h"

#include "gorvin/core/dart_map.h"
#include "gorvin/core/orbit.h"
#include "gorvin/rules/engine.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace gorvin::native {

namespace {

using python::Context;
using python::Expression3D;
using python::Rule;
using Point = std::array<double, 3>;
using Values = std::vector<py::object>; // one value per row
using Computed = ComputedValue<py::object>;

Point pointOf(GMap& gmap, DartID dart) {
    Point p;
    readPoint(storedPosition(gmap, dart), dart, p.data());
    return p;
}

// A tuple of floats, untracked by the garbage collector (see tupleOf).
py::object untrackedIfFloats(py::object value) {
    PyObject* tuple = value.ptr();
    if (!PyTuple_CheckExact(tuple) || !PyObject_GC_IsTracked(tuple)) return value;
    for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(tuple); ++i)
        if (!PyFloat_CheckExact(PyTuple_GET_ITEM(tuple, i))) return value;
    PyObject_GC_UnTrack(tuple);
    return value;
}

// The mean position over the orbit `dims` of darts of the G-map. Each cell is summed once, its
// darts in ascending id order from 0.0, then divided by its size; its darts remember the cell.
// An empty `dims` is the dart's own position.
class OrbitMeans {
  public:
    OrbitMeans(GMap& gmap, std::vector<int> dims)
        : gmap_(gmap), dims_(std::move(dims)), cellOf_(gmap.size()) {}

    bool single() const { return dims_.empty(); }

    // The cell of slot x, summed on first use (not for an empty orbit).
    std::uint32_t cell(DartID x) {
        std::uint32_t c = cellOf_.get(x);
        if (c != kAbsent) return c;
        c = static_cast<std::uint32_t>(means_.size());
        const std::vector<DartID> members = orbitDarts(gmap_, dims_, x);
        Point sum{0.0, 0.0, 0.0};
        for (DartID d : members) {
            const Point p = pointOf(gmap_, d);
            for (int axis = 0; axis < 3; ++axis)
                sum[axis] += p[axis];
            cellOf_.set(d, c);
        }
        for (double& axis : sum)
            axis /= static_cast<double>(members.size());
        means_.push_back(sum);
        return c;
    }

    Point mean(DartID x) { return single() ? pointOf(gmap_, x) : means_[cell(x)]; }

  private:
    GMap& gmap_;
    std::vector<int> dims_;
    DartMap cellOf_;
    std::vector<Point> means_;
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

// The rows in the order of the darts they give to left node `node` (row order for a rule without
// left nodes). Reading positions in dart order follows the tables through memory instead of
// jumping with the depth-first row order.
std::vector<std::uint32_t> rowsByDart(const RowTable& rows, std::uint32_t node) {
    std::vector<std::uint64_t> keys(rows.count);
    for (std::size_t r = 0; r < rows.count; ++r)
        keys[r] = (node < rows.leftSize ? std::uint64_t{rows.leftDart(r, node)} << 32 : 0) | r;
    std::sort(keys.begin(), keys.end());
    std::vector<std::uint32_t> order(rows.count);
    for (std::size_t i = 0; i < rows.count; ++i)
        order[i] = static_cast<std::uint32_t>(keys[i]);
    return order;
}

// The values of an affine program for every row. With a single term over an orbit, each cell
// makes one tuple that all its rows share.
Values affineValues(GMap& gmap, const Program& program, const RowTable& rows) {
    std::vector<OrbitMeans> means;
    for (const auto& term : program.terms)
        means.emplace_back(gmap, term.orbit);
    const bool perCell = means.size() == 1 && !means[0].single();
    Values cells;
    const auto valueAt = [&](std::size_t r) {
        Point sum{};
        for (std::size_t i = 0; i < means.size(); ++i) {
            const Point m = means[i].mean(rows.leftDart(r, program.terms[i].node));
            for (int axis = 0; axis < 3; ++axis) {
                const double term = program.terms[i].weight * m[axis];
                sum[axis] = i == 0 ? term : sum[axis] + term;
            }
        }
        if (program.offset)
            for (int axis = 0; axis < 3; ++axis)
                sum[axis] =
                    means.empty() ? (*program.offset)[axis] : sum[axis] + (*program.offset)[axis];
        return tupleOf(sum.data(), 3);
    };
    Values out(rows.count);
    for (std::uint32_t r : rowsByDart(rows, means.empty() ? 0 : program.terms[0].node)) {
        if (!perCell) {
            out[r] = valueAt(r);
            continue;
        }
        const std::uint32_t c = means[0].cell(rows.leftDart(r, program.terms[0].node));
        if (c >= cells.size()) cells.resize(c + 1);
        if (!cells[c]) cells[c] = valueAt(r);
        out[r] = cells[c];
    }
    return out;
}

Values programValues(GMap& gmap, const Program& program, const RowTable& rows) {
    if (program.kind == "affine") return affineValues(gmap, program, rows);
    if (program.kind == "constant") return Values(rows.count, program.constant);
    Values out(rows.count);
    for (std::uint32_t r : rowsByDart(rows, program.node))
        out[r] = untrackedIfFloats(storedPosition(gmap, rows.leftDart(r, program.node)));
    return out;
}

// What a `batch` method returned, one value per row: a 2-d array gives a tuple of floats per row,
// a 1-d array its items as Python numbers, any other sequence its items.
Values valuesOf(const py::object& result, std::size_t count, const std::string& name) {
    Values out(count);
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

    Values batch(const py::object& method, const std::string& name) const {
        const RowTable& rows = matched.rows;
        py::array_t<DartID> left(
            {static_cast<py::ssize_t>(rows.count), static_cast<py::ssize_t>(rows.leftSize)});
        std::copy(rows.left.data(), rows.left.data() + rows.count * rows.leftSize,
                  left.mutable_data());
        py::array_t<DartID> right(static_cast<py::ssize_t>(rows.count));
        for (std::size_t r = 0; r < rows.count; ++r)
            right.mutable_data()[r] = rightDart(r);
        return valuesOf(method(python::pinned(gmap), left, right), rows.count, name);
    }

    Values perRow(const py::object& fct) const {
        const RowTable& rows = matched.rows;
        const std::uint32_t source = matched.plan.source[node];
        Values out(rows.count);
        for (std::size_t r = 0; r < rows.count; ++r) {
            const DartID* left = rows.left.data() + r * rows.leftSize;
            auto context = std::make_shared<Context>(
                Context{modeler, rule, gmap, std::vector<DartID>(left, left + rows.leftSize),
                        static_cast<std::uint32_t>(r), node,
                        source == kNoLink ? kNoLink : left[source], rightDart(r)});
            out[r] = fct(py::cast(std::move(context)));
        }
        return out;
    }
};

// The values of one expression for every row. Built-in programs are run once per application:
// nodes with the same program share its values (immutable tuples).
const Values& expressionValues(const Expression3D& expr, const RowsOf& rows,
                               std::map<std::string, Values>& programs, Values& own) {
    if (py::hasattr(expr.fct, "batch_program")) {
        const py::object form = expr.fct.attr("batch_program");
        auto [known, added] = programs.try_emplace(py::repr(form).cast<std::string>());
        if (added)
            known->second = programValues(*rows.gmap, programOf(form, rows.matched.rows.leftSize),
                                          rows.matched.rows);
        return known->second;
    }
    own = py::hasattr(expr.fct, "batch") ? rows.batch(expr.fct.attr("batch"), expr.name)
                                         : rows.perRow(expr.fct);
    return own;
}

// One dict per row and expression group, in right-node and slot order.
std::vector<Computed> evaluateGroups(const std::shared_ptr<python::Modeler>& modeler,
                                     const std::shared_ptr<Rule>& rule,
                                     const std::shared_ptr<GMap>& gmap,
                                     const MatchedRows& matched) {
    struct Group {
        std::uint32_t node;
        unsigned slot;
        std::vector<Expression3D> exprs;
    };
    std::vector<Group> groups; // copied: an evaluation may change the rule
    for (std::uint32_t q = 0; q < matched.plan.rightSize; ++q)
        for (unsigned s = 0; s < kSlots; ++s)
            if (const auto& group = rule->rightnodes()[q].exprs[s])
                groups.push_back({q, s, group->exprs});

    std::vector<Computed> computed;
    computed.reserve(matched.rows.count * groups.size());
    std::map<std::string, Values> programs;
    for (const Group& group : groups) {
        const RowsOf rows{modeler, rule, gmap, matched, group.node};
        std::vector<Values> own(group.exprs.size());
        std::vector<const Values*> values;
        std::vector<py::str> keys;
        for (std::size_t e = 0; e < group.exprs.size(); ++e) {
            values.push_back(&expressionValues(group.exprs[e], rows, programs, own[e]));
            keys.emplace_back(group.exprs[e].name);
        }
        for (std::size_t r = 0; r < matched.rows.count; ++r) {
            py::dict dict;
            for (std::size_t e = 0; e < keys.size(); ++e)
                if (PyDict_SetItem(dict.ptr(), keys[e].ptr(), (*values[e])[r].ptr()) != 0)
                    throw py::error_already_set();
            computed.push_back({rows.rightDart(r), group.slot, std::move(dict)});
        }
    }
    return computed;
}

void applyBatch(const std::shared_ptr<GMap>& gmap, const std::shared_ptr<Rule>& rule,
                std::vector<DartID> hooks) {
    if (!gmap || !rule) throw py::type_error("apply_batch: gmap and rule must not be None");
    const auto modeler = gmap->modeler().lock();
    if (!modeler) throw py::value_error("apply_batch: the G-map's modeler is gone");
    applyRuleWith(gmap, rule, AtomicInputHooks(std::move(hooks)), [&](const MatchedRows& matched) {
        return evaluateGroups(modeler, rule, gmap, matched);
    });
}

// The orbit means of many darts, as an (n, 3) array.
py::array_t<double> orbitMeans(GMap& gmap, const Ids& ids, const std::vector<int>& dims) {
    const std::vector<DartID> darts = checkedIds(gmap, ids);
    OrbitMeans means(gmap, dims);
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
    m.def("orbit_means", &orbitMeans, py::arg("gmap"), py::arg("darts"), py::arg("dims"),
          "The mean position over the orbit dims of each dart, as an (n, 3) array; each cell is "
          "summed once, in ascending dart order.");
}

} // namespace gorvin::native
