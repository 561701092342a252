// Point programs run for all rows of an application, with the floating-point operations of the
// per-row Python evaluation (gorvinpy.point_rules) in the same order. Values that belong to a
// cell (orbit means and sizes, weights, freeness, normals) are computed once per cell and read by
// every dart of it; a weight's Python function is called once per distinct orbit size.
#include "point_program.h"

#include "point_sweep.h"

#include "gorvin/core/neighbour.h"
#include "gorvin/core/orbit.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

namespace gorvin::native {

namespace {

using Kind = PointProgram::Kind;
using Op = PointProgram::Op;

const std::map<std::string, Kind>& kindsByName() {
    static const std::map<std::string, Kind> kinds{{"position", Kind::position},
                                                   {"constant", Kind::constant},
                                                   {"number", Kind::number},
                                                   {"orbit_mean", Kind::orbitMean},
                                                   {"of", Kind::of},
                                                   {"at", Kind::at},
                                                   {"mean", Kind::mean},
                                                   {"orbit_size", Kind::orbitSize},
                                                   {"weight", Kind::weight},
                                                   {"add", Kind::add},
                                                   {"sub", Kind::sub},
                                                   {"cross", Kind::cross},
                                                   {"scale", Kind::scale},
                                                   {"quotient", Kind::quotient},
                                                   {"normalized", Kind::normalized},
                                                   {"where", Kind::where},
                                                   {"sadd", Kind::scalarAdd},
                                                   {"ssub", Kind::scalarSub},
                                                   {"smul", Kind::scalarMul},
                                                   {"sdiv", Kind::scalarDiv},
                                                   {"swhere", Kind::scalarWhere},
                                                   {"dot", Kind::dot},
                                                   {"is_free", Kind::isFree},
                                                   {"face_normal", Kind::faceNormal},
                                                   {"vertex_normal", Kind::vertexNormal}};
    return kinds;
}

std::vector<int> checkedDims(const py::handle& value) {
    auto dims = value.cast<std::vector<int>>();
    for (int d : dims)
        if (d < 0 || d > 3) throw py::value_error("point program: dimension " + std::to_string(d));
    return dims;
}

std::vector<int> common(std::vector<int> a, const std::vector<int>& b) {
    a.erase(std::remove_if(a.begin(), a.end(),
                           [&](int d) { return std::find(b.begin(), b.end(), d) == b.end(); }),
            a.end());
    return a;
}

const std::vector<int> kAllDims{0, 1, 2, 3};

// Whether alpha_e maps the darts free along `free` (and linked along `linked`; -1: no condition)
// to darts that are too: e is that dim, or commutes with it.
bool keepsFreeness(int e, int dim) {
    return dim < 0 || e == dim || std::abs(e - dim) >= 2;
}

// What a value over the orbit `dims` is expected to stay the same over: the orbit, and every dim
// of `over` that commutes with all of its dims (alpha_e then maps the orbit of a dart onto the
// orbit of its image, whose darts give the same values) and keeps the freeness conditions.
std::vector<int> sharedOver(const std::vector<int>& dims, const std::vector<int>& over,
                            int free = -1, int linked = -1) {
    std::vector<int> shared = dims;
    for (int e : over)
        if (std::find(dims.begin(), dims.end(), e) == dims.end() &&
            std::all_of(dims.begin(), dims.end(), [e](int d) { return std::abs(e - d) >= 2; }) &&
            keepsFreeness(e, free) && keepsFreeness(e, linked))
            shared.push_back(e);
    std::sort(shared.begin(), shared.end());
    return shared;
}
const std::vector<int> kVertexDims{1, 2, 3};
const std::vector<int> kFaceDims{0, 1};
const std::vector<int> kVertexTurn{1, 2};

} // namespace

PointProgram::PointProgram(const py::list& ops, std::string key, std::uint32_t node)
    : key_(std::move(key)), node_(node) {
    for (const auto& entry : ops) {
        const auto items = entry.cast<py::tuple>();
        const auto name = items[0].cast<std::string>();
        const auto kind = kindsByName().find(name);
        if (kind == kindsByName().end())
            throw py::value_error("point program: unknown op '" + name + "'");
        Op op;
        op.kind = kind->second;
        const auto operand = [&](std::size_t i) {
            const auto index = items[i].cast<std::uint32_t>();
            if (index >= ops_.size())
                throw py::value_error("point program: op " + std::to_string(ops_.size()) +
                                      " reads op " + std::to_string(index));
            return index;
        };
        // operands, then what the op's value is expected to stay the same over
        std::vector<std::uint32_t> reads;
        switch (op.kind) {
        case Kind::position:
            op.shared = kVertexDims;
            break;
        case Kind::constant:
            op.constant = items[1].cast<Point>();
            op.shared = kAllDims;
            break;
        case Kind::number:
            op.number = items[1].cast<double>();
            op.shared = kAllDims;
            break;
        case Kind::orbitMean:
            op.dims = checkedDims(items[1]);
            op.shared = op.dims.empty() ? kVertexDims : sharedOver(op.dims, kVertexDims);
            break;
        case Kind::of:
            op.node = items[1].cast<std::uint32_t>();
            nodesRead_ = std::max(nodesRead_, op.node + 1);
            op.a = operand(2);
            op.rowFree = false;
            break;
        case Kind::at:
            op.dims = checkedDims(items[1]);
            reads = {op.a = operand(2)};
            break;
        case Kind::mean:
            op.dims = checkedDims(items[1]);
            op.free = items[2].cast<int>();
            op.linked = items[3].cast<int>();
            reads = {op.a = operand(4)};
            op.shared = sharedOver(op.dims, ops_[op.a].shared, op.free, op.linked);
            break;
        case Kind::orbitSize:
            op.dims = checkedDims(items[1]);
            op.free = items[2].cast<int>();
            op.linked = items[3].cast<int>();
            op.shared = sharedOver(op.dims, kAllDims, op.free, op.linked);
            break;
        case Kind::weight:
            op.function = items[1];
            op.dims = checkedDims(items[2]);
            op.shared = sharedOver(op.dims, kAllDims);
            break;
        case Kind::isFree:
            op.dim = checkedDims(py::make_tuple(items[1]))[0];
            op.dims = checkedDims(items[2]);
            op.shared = op.dims.empty() ? sharedOver({op.dim}, kAllDims)
                                        : sharedOver(op.dims, kAllDims, op.dim);
            break;
        case Kind::faceNormal:
        case Kind::vertexNormal:
            break;
        case Kind::normalized:
            reads = {op.a = operand(1)};
            break;
        case Kind::where:
        case Kind::scalarWhere:
            op.c = operand(1);
            reads = {op.c, op.a = operand(2), op.b = operand(3)};
            break;
        default:
            reads = {op.a = operand(1), op.b = operand(2)};
            break;
        }
        if (!reads.empty() && op.kind != Kind::mean) {
            op.shared = kAllDims;
            for (std::uint32_t r : reads)
                op.shared = common(op.shared, ops_[r].shared);
        }
        if (op.kind == Kind::at) op.shared.clear();
        for (std::uint32_t r : reads)
            op.rowFree = op.rowFree && ops_[r].rowFree;
        ops_.push_back(std::move(op));
    }
    if (ops_.empty()) throw py::value_error("point program: no op");
    const auto readsDart = [](const Op& op) {
        switch (op.kind) {
        case Kind::position:
        case Kind::orbitMean:
        case Kind::of:
        case Kind::at:
        case Kind::mean:
        case Kind::orbitSize:
        case Kind::weight:
        case Kind::isFree:
        case Kind::faceNormal:
        case Kind::vertexNormal:
            return true;
        default:
            return false;
        }
    };
    if (std::any_of(ops_.begin(), ops_.end(), readsDart))
        nodesRead_ = std::max(nodesRead_, node + 1);
}

namespace {

// Cells of one orbit, numbered in order of first use; each keeps its darts (ascending).
class Numbering {
  public:
    Numbering(const GMap& gmap, std::vector<int> dims, std::size_t universe)
        : gmap_(gmap), dims_(std::move(dims)), cellOf_(universe) {}

    std::uint32_t cell(DartID x) {
        if (x == lastDart_) return lastCell_; // the ops of one row ask for the same dart in turn
        std::uint32_t c = cellOf_.get(x);
        if (c == kAbsent) c = number(x);
        lastDart_ = x;
        lastCell_ = c;
        return c;
    }
    std::size_t size(std::uint32_t cell) const { return starts_[cell + 1] - starts_[cell]; }
    // Dart i of the cell, by value: later cells may move the storage.
    DartID member(std::uint32_t cell, std::size_t i) const { return members_[starts_[cell] + i]; }

  private:
    std::uint32_t number(DartID x) {
        const auto c = static_cast<std::uint32_t>(starts_.size() - 1);
        const auto first = static_cast<std::ptrdiff_t>(members_.size());
        appendOrbit(gmap_, dims_, x, members_); // straight into the table: no vector per cell
        std::sort(members_.begin() + first, members_.end());
        for (auto d = members_.begin() + first; d != members_.end(); ++d)
            cellOf_.set(*d, c);
        starts_.push_back(members_.size());
        return c;
    }

    const GMap& gmap_;
    std::vector<int> dims_;
    DartMap cellOf_;
    std::vector<DartID> members_;
    std::vector<std::size_t> starts_{0};
    DartID lastDart_ = kNoLink;
    std::uint32_t lastCell_ = kAbsent;
};

// The cells of an orbit of two dimensions split by orientation: class 2c + p holds the darts of
// cell c an even (p = 0) or odd (p = 1) number of steps from the cell's first dart.
class Orientations {
  public:
    Orientations(const GMap& gmap, Dim d0, Dim d1, std::size_t universe)
        : gmap_(gmap), dims_{d0, d1}, classOf_(universe) {}

    std::uint32_t orientation(DartID x) {
        std::uint32_t k = classOf_.get(x);
        if (k != kAbsent) return k;
        const auto base = static_cast<std::uint32_t>(members_.size());
        members_.emplace_back();
        members_.emplace_back();
        std::vector<DartID> stack{x};
        classOf_.set(x, base);
        while (!stack.empty()) {
            const DartID d = stack.back();
            stack.pop_back();
            const std::uint32_t own = classOf_.get(d);
            members_[own].push_back(d);
            for (Dim dim : dims_) {
                const DartID n = liveNeighbour(gmap_.darts(), d, dim);
                if (classOf_.get(n) == kAbsent) {
                    classOf_.set(n, own ^ 1u);
                    stack.push_back(n);
                }
            }
        }
        std::sort(members_[base].begin(), members_[base].end());
        std::sort(members_[base + 1].begin(), members_[base + 1].end());
        return base;
    }
    const std::vector<DartID>& members(std::uint32_t k) const { return members_[k]; }
    std::size_t count() const { return members_.size(); }

  private:
    const GMap& gmap_;
    std::array<Dim, 2> dims_;
    DartMap classOf_;
    std::vector<std::vector<DartID>> members_;
};

Point normalizedPoint(const Point& p) {
    const double length = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
    if (length == 0.0) return {0.0, 0.0, 0.0};
    return {p[0] / length, p[1] / length, p[2] / length};
}

// The value, or ZeroDivisionError as Python raises it for a float division by zero.
Point checked(const std::optional<Point>& value) {
    if (value) return *value;
    PyErr_SetString(PyExc_ZeroDivisionError, "float division by zero");
    throw py::error_already_set();
}

std::string dimsText(const std::vector<int>& dims) {
    std::string out = "[";
    for (std::size_t i = 0; i < dims.size(); ++i)
        out += (i ? ", " : "") + std::to_string(dims[i]);
    return out + "]";
}

// One run of a program over the rows of an application.
class Run {
  public:
    Run(GMap& gmap, const PointProgram& program, const RowTable& rows, PositionReader& positions,
        std::size_t universe)
        : gmap_(gmap), program_(program), rows_(rows), positions_(positions), universe_(universe),
          cached_(program.ops().size()), numberingOf_(program.ops().size(), nullptr) {}

    Point value(std::uint32_t index, DartID x, std::size_t r) {
        const Op& op = program_.ops()[index];
        switch (op.kind) {
        case Kind::position:
            return positions_.point(x);
        case Kind::constant:
            return op.constant;
        case Kind::number:
            return {op.number, 0.0, 0.0};
        case Kind::orbitMean:
            if (op.dims.empty()) return positions_.point(x);
            return perCell(index, x, r);
        case Kind::of:
            return value(op.a, rows_.leftDart(r, op.node), r);
        case Kind::at: {
            for (int d : op.dims)
                x = liveNeighbour(gmap_.darts(), x, static_cast<Dim>(d));
            return value(op.a, x, r);
        }
        case Kind::mean:
        case Kind::orbitSize:
        case Kind::weight:
            return perCell(index, x, r);
        case Kind::isFree:
            if (op.dims.empty()) return {freeAlong(x, op.dim) ? 1.0 : 0.0, 0.0, 0.0};
            return perCell(index, x, r);
        case Kind::normalized:
            return checked(elementwise(op.kind, value(op.a, x, r), {}));
        case Kind::where:
        case Kind::scalarWhere:
            return value(value(op.c, x, r)[0] != 0.0 ? op.a : op.b, x, r);
        case Kind::faceNormal:
            return faceNormal(x);
        case Kind::vertexNormal:
            return vertexNormal(x);
        default: {
            const Point p = value(op.a, x, r), q = value(op.b, x, r);
            return checked(elementwise(op.kind, p, q));
        }
        }
    }

    // The numbering of the cells of the op's orbit, found once per op.
    Numbering& numberingOf(std::uint32_t index) {
        if (!numberingOf_[index]) numberingOf_[index] = &numbering(program_.ops()[index].dims);
        return *numberingOf_[index];
    }

    Numbering& numbering(const std::vector<int>& dims) {
        auto found = numberings_.find(dims);
        if (found == numberings_.end())
            found = numberings_.emplace(dims, Numbering(gmap_, dims, universe_)).first;
        return found->second;
    }

  private:
    struct Cached {
        std::vector<Point> values;
        std::vector<unsigned char> known;
    };

    bool freeAlong(DartID x, int dim) const {
        return liveNeighbour(gmap_.darts(), x, static_cast<Dim>(dim)) == x;
    }

    // A value of x's cell: computed once per cell when the op reads no fixed left node.
    Point perCell(std::uint32_t index, DartID x, std::size_t r) {
        const Op& op = program_.ops()[index];
        Numbering& cells = numberingOf(index);
        const std::uint32_t c = cells.cell(x);
        if (!op.rowFree) return ofCell(op, x, r, cells, c);
        Cached& cached = cached_[index];
        if (c >= cached.known.size()) {
            cached.known.resize(c + 1, 0);
            cached.values.resize(c + 1);
        }
        if (!cached.known[c]) {
            const Point p = op.kind == Kind::weight ||
                                    (op.kind == Kind::orbitSize && op.free < 0 && op.linked < 0)
                                ? ofSize(op, cells.size(c))
                                : ofCell(op, x, r, cells, c);
            cached_[index].values[c] = p; // ofCell may have grown other caches, not this one
            cached_[index].known[c] = 1;
            return p;
        }
        return cached.values[c];
    }

    Point ofSize(const Op& op, std::size_t size) {
        if (op.kind == Kind::orbitSize) return {static_cast<double>(size), 0.0, 0.0};
        auto found = weights_.find({&op, size});
        if (found == weights_.end()) {
            const double w = py::float_(op.function(size)).cast<double>();
            found = weights_.emplace(std::make_pair(&op, size), w).first;
        }
        return {found->second, 0.0, 0.0};
    }

    // The op's value over the darts of x's cell c (ascending).
    Point ofCell(const Op& op, DartID x, std::size_t r, const Numbering& cells, std::uint32_t c) {
        const std::size_t size = cells.size(c);
        const auto kept = [&](DartID d) {
            return (op.free < 0 || freeAlong(d, op.free)) &&
                   (op.linked < 0 || !freeAlong(d, op.linked));
        };
        std::size_t count = 0;
        bool anyFree = false;
        for (std::size_t i = 0; i < size; ++i) {
            const DartID d = cells.member(c, i);
            if (!kept(d)) continue;
            ++count;
            if (op.kind == Kind::isFree) anyFree = anyFree || freeAlong(d, op.dim);
        }
        switch (op.kind) {
        case Kind::orbitSize:
            return {static_cast<double>(count), 0.0, 0.0};
        case Kind::weight:
            return ofSize(op, count);
        case Kind::isFree:
            return {anyFree ? 1.0 : 0.0, 0.0, 0.0};
        default:
            break;
        }
        if (count == 0)
            throw py::value_error("mean over no dart of the orbit " + dimsText(op.dims) +
                                  " of dart " + std::to_string(x));
        Point sum{0.0, 0.0, 0.0};
        for (std::size_t i = 0; i < size; ++i) {
            const DartID d = cells.member(c, i); // re-read: value() may number more cells
            if (!kept(d)) continue;
            const Point p = op.kind == Kind::orbitMean ? positions_.point(d) : value(op.a, d, r);
            for (int axis = 0; axis < 3; ++axis)
                sum[axis] += p[axis];
        }
        const auto total = static_cast<double>(count);
        return {sum[0] / total, sum[1] / total, sum[2] / total};
    }

    // The corners of the face walked from `start`: alpha0 then alpha1 each step, up to a free
    // link or back at start.
    std::vector<DartID> faceCorners(DartID start) const {
        std::vector<DartID> corners{start};
        DartID d = start;
        while (corners.size() <= gmap_.size()) {
            const DartID end = liveNeighbour(gmap_.darts(), d, 0);
            const DartID next = liveNeighbour(gmap_.darts(), end, 1);
            if (end == d || next == end || next == start) break;
            corners.push_back(next);
            d = next;
        }
        return corners;
    }

    Orientations& orientations(std::optional<Orientations>& slot, Dim d0, Dim d1) {
        if (!slot) slot.emplace(gmap_, d0, d1, universe_);
        return *slot;
    }

    static Point* known(std::vector<Point>& values, std::vector<bool>& flags, std::size_t k) {
        if (k >= flags.size()) {
            flags.resize(k + 2, false);
            values.resize(k + 2);
        }
        return flags[k] ? &values[k] : nullptr;
    }

    Point faceNormal(DartID x) {
        Orientations& faces = orientations(faces_, 0, 1);
        const std::uint32_t k = faces.orientation(x);
        if (const Point* p = known(faceNormals_, faceKnown_, k)) return *p;
        std::vector<Point> corners;
        for (DartID d : faceCorners(faces.members(k).front()))
            corners.push_back(positions_.point(d));
        Point n{0.0, 0.0, 0.0};
        for (std::size_t i = 0; i < corners.size(); ++i) {
            const Point& p = corners[i];
            const Point& q = corners[(i + 1) % corners.size()];
            n[0] += (p[1] - q[1]) * (p[2] + q[2]);
            n[1] += (p[2] - q[2]) * (p[0] + q[0]);
            n[2] += (p[0] - q[0]) * (p[1] + q[1]);
        }
        faceKnown_[k] = true;
        return faceNormals_[k] = normalizedPoint(n);
    }

    Point vertexNormal(DartID x) {
        Orientations& vertices = orientations(vertices_, 1, 2);
        const std::uint32_t k = vertices.orientation(x);
        if (const Point* p = known(vertexNormals_, vertexKnown_, k)) return *p;
        Point sum{0.0, 0.0, 0.0};
        const std::vector<DartID> darts = vertices.members(k); // a copy: faceNormal may add classes
        for (DartID d : darts) {
            const Point n = faceNormal(d);
            for (int axis = 0; axis < 3; ++axis)
                sum[axis] += n[axis];
        }
        const auto count = static_cast<double>(darts.size());
        vertexKnown_[k] = true;
        return vertexNormals_[k] =
                   normalizedPoint({sum[0] / count, sum[1] / count, sum[2] / count});
    }

    GMap& gmap_;
    const PointProgram& program_;
    const RowTable& rows_;
    PositionReader& positions_;
    std::size_t universe_;
    std::vector<Cached> cached_;
    std::map<std::vector<int>, Numbering> numberings_; // nodes stay put: numberingOf_ points in
    std::vector<Numbering*> numberingOf_;
    std::map<std::pair<const Op*, std::size_t>, double> weights_;
    std::optional<Orientations> faces_, vertices_;
    std::vector<Point> faceNormals_, vertexNormals_;
    std::vector<bool> faceKnown_, vertexKnown_;
};

} // namespace

std::optional<Point> elementwise(Kind kind, const Point& p, const Point& q) {
    switch (kind) {
    case Kind::add:
        return Point{p[0] + q[0], p[1] + q[1], p[2] + q[2]};
    case Kind::sub:
        return Point{p[0] - q[0], p[1] - q[1], p[2] - q[2]};
    case Kind::cross:
        return Point{p[1] * q[2] - p[2] * q[1], p[2] * q[0] - p[0] * q[2],
                     p[0] * q[1] - p[1] * q[0]};
    case Kind::scale:
        return Point{p[0] * q[0], p[0] * q[1], p[0] * q[2]};
    case Kind::quotient:
        if (q[0] == 0.0) return std::nullopt;
        return Point{p[0] / q[0], p[1] / q[0], p[2] / q[0]};
    case Kind::normalized:
        return normalizedPoint(p);
    case Kind::scalarAdd:
        return Point{p[0] + q[0], 0.0, 0.0};
    case Kind::scalarSub:
        return Point{p[0] - q[0], 0.0, 0.0};
    case Kind::scalarMul:
        return Point{p[0] * q[0], 0.0, 0.0};
    case Kind::scalarDiv:
        if (q[0] == 0.0) return std::nullopt;
        return Point{p[0] / q[0], 0.0, 0.0};
    case Kind::dot:
        return Point{p[0] * q[0] + p[1] * q[1] + p[2] * q[2], 0.0, 0.0};
    default:
        throw std::logic_error("point program: not an elementwise op");
    }
}

void CellSharedColumn::add(std::size_t r, std::uint32_t c, const Point& p) {
    if (c == kAbsent) {
        out_.of[r] = out_.add(p);
        return;
    }
    if (!compared_) {
        out_.of[r] = firstOfCell_[c] = out_.add(p);
        return;
    }
    if (c >= firstOfCell_.size()) firstOfCell_.resize(c + 1, kAbsent);
    const std::uint32_t first = firstOfCell_[c];
    if (first != kAbsent && std::memcmp(out_.point(first), p.data(), sizeof(Point)) == 0) {
        out_.of[r] = first;
        return;
    }
    out_.of[r] = out_.add(p);
    if (first == kAbsent) firstOfCell_[c] = out_.of[r];
}

std::size_t dartsBefore(const GMap& gmap, const MatchedRows& matched) {
    return gmap.size() - matched.rows.count * matched.plan.created.size();
}

namespace {

// The stored position objects of the node's darts, as the position alone gives them; darts
// deferred to one pattern share it.
Column copiedPositions(std::uint32_t node, const RowTable& rows, PositionReader& positions) {
    Column out;
    out.of = backedVector<std::uint32_t>(rows.count);
    SharedBy shared(positions.patternCount());
    for (std::size_t r = 0; r < rows.count; ++r) {
        const DartID x = rows.leftDart(r, node);
        out.of[r] = shared(out, positions.pattern(x), [&] { return positions.item(x); });
    }
    return out;
}

} // namespace

Column pointProgramValues(GMap& gmap, const PointProgram& program, const MatchedRows& matched,
                          PositionReader& positions, SweepReads& reads) {
    const RowTable& rows = matched.rows;
    if (program.leftNodesRead() > rows.leftSize)
        throw py::value_error("point program: reads left node " +
                              std::to_string(program.leftNodesRead() - 1) + " of a rule with " +
                              std::to_string(rows.leftSize) + " left nodes");
    if (program.ops().size() == 1 && program.ops()[0].kind == PointProgram::Kind::position)
        return copiedPositions(program.node(), rows, positions);
    const auto root = static_cast<std::uint32_t>(program.ops().size() - 1);
    if (program.leftNodesRead() == 0) { // one value, read at no dart
        Run run(gmap, program, rows, positions, 0);
        Column out;
        out.of.assign(rows.count, out.add(run.value(root, kNoLink, 0)));
        return std::move(out).finish();
    }
    if (auto swept = sweptProgramValues(program, matched, reads)) return std::move(*swept);
    Run run(gmap, program, rows, positions, dartsBefore(gmap, matched));
    const std::vector<int>& shared = program.ops()[root].shared;
    Numbering* cells = shared.empty() ? nullptr : &run.numbering(shared);
    CellSharedColumn out(rows.count, 0);
    for (std::size_t r = 0; r < rows.count; ++r) {
        const DartID x = rows.leftDart(r, program.node());
        const std::uint32_t c = cells ? cells->cell(x) : kAbsent;
        out.add(r, c, run.value(root, x, r));
    }
    return std::move(out).finish();
}

namespace {

// The mean position over the orbit `dims` of each dart, as an (n, 3) array, summed as a point
// program sums it.
py::array_t<double> orbitMeans(GMap& gmap, const Ids& ids, const std::vector<int>& dims) {
    const std::vector<DartID> darts = checkedIds(gmap, ids);
    py::list ops;
    ops.append(py::make_tuple("orbit_mean", dims));
    const PointProgram program(ops, "orbit_mean", 0);
    PositionReader positions(gmap);
    const RowTable noRows{};
    Run run(gmap, program, noRows, positions, gmap.size());
    py::array_t<double> out({static_cast<py::ssize_t>(darts.size()), py::ssize_t{3}});
    double* row = out.mutable_data();
    for (DartID dart : darts) {
        const Point mean = run.value(0, dart, 0);
        row = std::copy(mean.begin(), mean.end(), row);
    }
    return out;
}

} // namespace

void bindPointPrograms(py::module_& m) {
    m.def("orbit_means", &orbitMeans, py::arg("gmap"), py::arg("darts"), py::arg("dims"),
          "The mean position over the orbit dims of each dart, as an (n, 3) array; each cell is "
          "summed once, in ascending dart order.");
    py::class_<PointProgram>(m, "PointProgram",
                             "A point rule compiled for the batch evaluation: flat ops, read at "
                             "the dart of left node `node`.")
        .def(py::init<const py::list&, std::string, std::uint32_t>(), py::arg("ops"),
             py::arg("key"), py::arg("node"))
        .def_property_readonly("key", &PointProgram::key)
        .def_property_readonly("node", &PointProgram::node)
        .def("__len__", [](const PointProgram& p) { return p.ops().size(); })
        .def("__repr__", [](const PointProgram& p) {
            return "PointProgram(" + std::to_string(p.ops().size()) + " ops, node " +
                   std::to_string(p.node()) + ")";
        });
}

} // namespace gorvin::native
