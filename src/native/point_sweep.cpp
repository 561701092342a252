// Point programs swept op by op over every dart below the bound. A mean adds its darts' values in
// ascending dart order, as the per-row evaluation does, so both give the same bits. The buffers
// of a program's fields are taken again by the next program's.
#include "point_sweep.h"

#include "link_summary.h"

#include <algorithm>
#include <array>
#include <numeric>
#include <utility>

namespace gorvin::native {

namespace {

using Kind = PointProgram::Kind;
using Op = PointProgram::Op;
using Shape = Form::Shape;

bool includes(const std::vector<int>& outer, const std::vector<int>& inner) {
    return std::includes(outer.begin(), outer.end(), inner.begin(), inner.end());
}

std::vector<int> sortedUnique(std::vector<int> dims) {
    std::sort(dims.begin(), dims.end());
    dims.erase(std::unique(dims.begin(), dims.end()), dims.end());
    return dims;
}

// The values valueAt(d) of the live darts below the bound, kept once per cell when every cell's
// darts give the same bits, else once per dart. Darts that sameAsFirst(d, first) tells give the
// value of their cell's first dart are not read.
template <class ValueAt, class SameAsFirst>
Field gathered(SweepReads& reads, const OrbitCells* cells, ValueAt&& valueAt,
               SameAsFirst&& sameAsFirst) {
    const std::size_t universe = reads.universe();
    if (cells) {
        Field out = reads.zeros({Shape::cells, cells});
        bool uniform = true;
        for (DartID d = 0; d < universe && uniform; ++d) {
            const std::uint32_t c = cells->cellOf[d];
            if (c == kAbsent) continue;
            const DartID first = cells->representatives[c];
            if (first == d)
                out.values[c] = valueAt(d);
            else if (!sameAsFirst(d, first))
                uniform = sameBits(out.values[c], valueAt(d));
        }
        if (uniform) return out;
        reads.recycle(std::move(out));
    }
    Field out = reads.zeros({Shape::darts});
    for (DartID d = 0; d < universe; ++d)
        if (reads.gmap().darts()[d].exists()) out.values[d] = valueAt(d);
    return out;
}

void markBad(Field& field, std::size_t i) {
    if (field.bad.empty()) field.bad.resize(field.values.size(), 0);
    field.bad[i] = 1;
}

// Per cell, the mean of valueAt(d, bad) over its darts d where keep(d), added in ascending order
// from 0.0 as the per-row walk adds them; bad where no dart is kept or a kept dart's value is.
template <class ValueAt, class Keep>
Field cellMeans(SweepReads& reads, const OrbitCells* cells, ValueAt&& valueAt, Keep&& keep) {
    Field out = reads.zeros({Shape::cells, cells});
    std::vector<std::uint32_t> size = backedVector<std::uint32_t>(cells->representatives.size());
    for (DartID d = 0; d < reads.universe(); ++d) {
        const std::uint32_t c = cells->cellOf[d];
        if (c == kAbsent || !keep(d)) continue;
        ++size[c];
        bool bad = false;
        const Point p = valueAt(d, bad);
        if (bad) markBad(out, c);
        for (int axis = 0; axis < 3; ++axis)
            out.values[c][axis] += p[axis];
    }
    for (std::size_t c = 0; c < size.size(); ++c) {
        if (size[c] == 0) {
            markBad(out, c);
            continue;
        }
        const auto total = static_cast<double>(size[c]);
        Point& value = out.values[c];
        value = {value[0] / total, value[1] / total, value[2] / total};
    }
    return out;
}

bool grouped(const Form& form) {
    return form.shape == Shape::cells || form.shape == Shape::pairs;
}

// The form of an op over its operands' forms: one value when they all have one, one per cell (or
// pair) of the finest operand cells when every other operand's cells hold those, else one per dart.
Form combined(const std::vector<Form>& operands) {
    Form out;
    for (const Form& f : operands) {
        if (f.shape == Shape::darts) return {Shape::darts};
        if (grouped(f) && (!grouped(out) || includes(out.dims(), f.dims()))) out = f;
    }
    for (const Form& f : operands)
        if (grouped(f) && !includes(f.dims(), out.dims())) return {Shape::darts};
    return out;
}

std::vector<std::uint32_t> operandsOf(const Op& op) {
    switch (op.kind) {
    case Kind::at:
    case Kind::mean:
    case Kind::normalized:
        return {op.a};
    case Kind::where:
    case Kind::scalarWhere:
        return {op.c, op.a, op.b};
    case Kind::add:
    case Kind::sub:
    case Kind::cross:
    case Kind::scale:
    case Kind::quotient:
    case Kind::scalarAdd:
    case Kind::scalarSub:
    case Kind::scalarMul:
    case Kind::scalarDiv:
    case Kind::dot:
        return {op.a, op.b};
    default:
        return {};
    }
}

// The neighbour of live dart d along dim. A sweep runs where every link of a live dart names
// itself or a live dart (SweepReads::serves), so the link is read as it is.
DartID neighbourOf(const GMap& gmap, DartID d, int dim) {
    return gmap.darts()[d].alpha[dim];
}

// Whether live dart d is free along dim.
bool freeAlong(const GMap& gmap, DartID d, int dim) {
    return neighbourOf(gmap, d, dim) == d;
}

// Whether dart d is free along `free` and linked along `linked` (-1: no condition).
bool kept(const GMap& gmap, DartID d, int free, int linked) {
    return (free < 0 || freeAlong(gmap, d, free)) && (linked < 0 || !freeAlong(gmap, d, linked));
}

// Ops that read over cells or the map's values: kept as fields, computed in one pass each. Orbit
// sizes and weights read the sizes SweepReads counts once per orbit; the mean over one dim, of a
// dart and its neighbour, is computed where it is read.
bool reads(const Op& op) {
    switch (op.kind) {
    case Kind::position:
    case Kind::mean:
        return true;
    case Kind::orbitMean:
        return op.dims.size() != 1;
    case Kind::isFree:
        return !op.dims.empty();
    default:
        return false;
    }
}

// A program over every dart. Ops that read cells or values are kept as fields; the others (walks,
// arithmetic, choices) are computed where they are read, from their operands, unless they would
// be computed more than kRepeats times per read of the op that reads them first, which keeps them
// as fields too.
class Sweep {
  public:
    Sweep(const PointProgram& program, SweepReads& reads)
        : program_(program), reads_(reads), gmap_(reads.gmap()), universe_(reads.universe()),
          forms_(program.ops().size()), stored_(program.ops().size(), nullptr),
          owned_(program.ops().size()), sizes_(program.ops().size()) {}

    ~Sweep() {
        for (auto& field : owned_)
            if (field) reads_.recycle(std::move(*field));
    }

    // Whether the sweep serves every op of the program.
    static bool serves(const PointProgram& program) {
        return std::none_of(program.ops().begin(), program.ops().end(), [](const Op& op) {
            return op.kind == Kind::of || op.kind == Kind::faceNormal ||
                   op.kind == Kind::vertexNormal;
        });
    }

    void run() {
        for (std::uint32_t i = 0; i < forms_.size(); ++i) {
            const Op& op = program_.ops()[i];
            if (op.kind != Kind::orbitSize && op.kind != Kind::weight) continue;
            const bool all = op.kind == Kind::weight; // a weight counts every dart
            const OrbitCells* cells = reads_.cells(op.dims);
            sizes_[i].cells = cells;
            sizes_[i].sizes = &reads_.cellSizes(cells, all ? -1 : op.free, all ? -1 : op.linked);
        }
        const std::vector<bool> stored = storedOps();
        for (std::uint32_t i = 0; i < forms_.size(); ++i) {
            if (stored[i]) store(i);
            forms_[i] = stored_[i] ? stored_[i]->form : formOf(i);
        }
    }

    const Form& form(std::uint32_t i) const { return forms_[i]; }

    // The op's value at dart d; `bad` becomes true when it fails.
    Point valueAt(std::uint32_t i, DartID d, bool& bad) const {
        if (const Field* field = stored_[i]) {
            bad = bad || field->badAt(d);
            return field->at(d);
        }
        return computedAt(i, d, bad);
    }

  private:
    static constexpr std::uint32_t kRepeats = 4;

    std::vector<bool> storedOps() const {
        const auto& ops = program_.ops();
        std::vector<bool> stored(ops.size(), false);
        std::vector<std::uint32_t> repeats(ops.size(), 0);
        repeats.back() = 1;
        for (std::uint32_t i = static_cast<std::uint32_t>(ops.size()); i-- > 0;) {
            stored[i] = reads(ops[i]) || repeats[i] > kRepeats;
            for (std::uint32_t r : operandsOf(ops[i]))
                repeats[r] += stored[i] ? 1 : repeats[i];
        }
        return stored;
    }

    Form formOf(std::uint32_t i) const {
        const Op& op = program_.ops()[i];
        if (op.kind == Kind::at) return {Shape::darts};
        if (op.kind == Kind::isFree) return freenessForm(op);
        if (op.kind == Kind::orbitSize || op.kind == Kind::weight)
            return {Shape::cells, sizes_[i].cells};
        if (op.kind == Kind::orbitMean) return {Shape::pairs, nullptr, op.dims[0]};
        std::vector<Form> operands;
        for (std::uint32_t r : operandsOf(op))
            operands.push_back(forms_[r]);
        return combined(operands);
    }

    Point computedAt(std::uint32_t i, DartID d, bool& bad) const {
        const Op& op = program_.ops()[i];
        switch (op.kind) {
        case Kind::constant:
            return op.constant;
        case Kind::number:
            return {op.number, 0.0, 0.0};
        case Kind::isFree:
            return {freeAlong(d, op.dim) ? 1.0 : 0.0, 0.0, 0.0};
        case Kind::orbitMean:
            return pairMean(d, op.dims[0]);
        case Kind::orbitSize:
        case Kind::weight: {
            const auto size = (*sizes_[i].sizes)[sizes_[i].cells->cellOf[d]];
            if (op.kind == Kind::orbitSize) return {static_cast<double>(size), 0.0, 0.0};
            const std::optional<double> w = weight(i, size);
            if (!w) bad = true;
            return {w.value_or(0.0), 0.0, 0.0};
        }
        case Kind::at:
            for (int dim : op.dims)
                d = neighbourOf(gmap_, d, dim);
            return valueAt(op.a, d, bad);
        case Kind::where:
        case Kind::scalarWhere:
            return valueAt(valueAt(op.c, d, bad)[0] != 0.0 ? op.a : op.b, d, bad);
        case Kind::normalized:
            return *elementwise(op.kind, valueAt(op.a, d, bad), {});
        default: {
            const Point p = valueAt(op.a, d, bad), q = valueAt(op.b, d, bad);
            const std::optional<Point> value = elementwise(op.kind, p, q);
            if (value) return *value;
            bad = true;
            return {};
        }
        }
    }

    void store(std::uint32_t i) {
        const Op& op = program_.ops()[i];
        switch (op.kind) {
        case Kind::position:
            stored_[i] = reads_.positions();
            return;
        case Kind::orbitMean: // one over one dim is stored only when read often: per cell then
            stored_[i] = op.dims.empty() ? reads_.positions() : reads_.orbitMean(op.dims);
            return;
        case Kind::isFree:
            owned_[i] = op.dims.empty() ? freeness(op) : cellValues(op);
            break;
        case Kind::mean:
            owned_[i] = cellValues(op);
            break;
        default:
            owned_[i] = computedField(i);
            break;
        }
        stored_[i] = &*owned_[i];
    }

    // The op's values in a field of its form, each computed at its cell's first dart.
    Field computedField(std::uint32_t i) {
        const Form form = formOf(i);
        Field out = reads_.zeros(form);
        for (std::size_t k = 0; k < out.values.size(); ++k) {
            DartID d = static_cast<DartID>(k);
            if (form.shape == Shape::cells)
                d = form.cells->representatives[k];
            else if (form.shape == Shape::uniform)
                d = 0;
            else if (!gmap_.darts()[d].exists()) // pairs and darts
                continue;
            bool bad = false;
            out.values[k] = computedAt(i, d, bad);
            if (bad) markBad(out, k);
        }
        return out;
    }

    // The mean position of d and its neighbour along dim, added in ascending order from 0.0 as
    // cellMeans adds the darts of a cell.
    Point pairMean(DartID d, int dim) const {
        const Field* positions = reads_.positions();
        const DartID e = neighbourOf(gmap_, d, dim);
        Point sum{0.0, 0.0, 0.0};
        for (const DartID x : {std::min(d, e), std::max(d, e)}) {
            const Point& p = positions->at(x);
            for (int axis = 0; axis < 3; ++axis)
                sum[axis] += p[axis];
            if (d == e) return sum;
        }
        return {sum[0] / 2.0, sum[1] / 2.0, sum[2] / 2.0};
    }

    bool freeAlong(DartID d, int dim) const { return native::freeAlong(gmap_, d, dim); }
    bool kept(const Op& op, DartID d) const { return native::kept(gmap_, d, op.free, op.linked); }

    // A dart's own freeness: one per cell of the dims it is expected to be shared over when every
    // dart of each of those cells agrees with the cell's first.
    Form freenessForm(const Op& op) const {
        if (op.shared.empty()) return {Shape::darts};
        const OrbitCells* cells = reads_.cells(op.shared);
        for (DartID d = 0; d < universe_; ++d) {
            const std::uint32_t c = cells->cellOf[d];
            if (c != kAbsent &&
                freeAlong(d, op.dim) != freeAlong(cells->representatives[c], op.dim))
                return {Shape::darts};
        }
        return {Shape::cells, cells};
    }

    // Each dart's own freeness, kept per cell of the dims it is expected to be shared over.
    Field freeness(const Op& op) {
        const OrbitCells* cells = op.shared.empty() ? nullptr : reads_.cells(op.shared);
        return gathered(
            reads_, cells,
            [&](DartID d) {
                return Point{freeAlong(d, op.dim) ? 1.0 : 0.0, 0.0, 0.0};
            },
            [](DartID, DartID) { return false; });
    }

    // Means and freeness over the darts of each cell of the op's orbit.
    Field cellValues(const Op& op) {
        const OrbitCells* cells = reads_.cells(op.dims);
        if (op.kind == Kind::mean)
            return cellMeans(
                reads_, cells, [&](DartID d, bool& bad) { return valueAt(op.a, d, bad); },
                [&](DartID d) { return kept(op, d); });
        Field out = reads_.zeros({Shape::cells, cells}); // freeness of any kept dart of the cell
        for (DartID d = 0; d < universe_; ++d) {
            const std::uint32_t c = cells->cellOf[d];
            if (c != kAbsent && kept(op, d) && freeAlong(d, op.dim)) out.values[c][0] = 1.0;
        }
        return out;
    }

    // The weight op i gives a cell of `size` darts, its function called once per size; nothing
    // when it raises. Cells of one size often follow one another: the last size is kept apart.
    std::optional<double> weight(std::uint32_t i, std::uint32_t size) const {
        Sizes& known = sizes_[i];
        if (size == known.lastSize) return known.lastWeight;
        auto [found, added] = weights_.try_emplace({i, size});
        if (added) {
            try {
                found->second = py::float_(program_.ops()[i].function(size)).cast<double>();
            } catch (py::error_already_set&) { // the per-row evaluation raises it again
            }
        }
        known.lastSize = size;
        return known.lastWeight = found->second;
    }

    const PointProgram& program_;
    SweepReads& reads_;
    const GMap& gmap_;
    std::size_t universe_;
    std::vector<Form> forms_;
    std::vector<const Field*> stored_;
    std::vector<std::optional<Field>> owned_;
    // The cells and sizes an orbit size or weight op reads, with its last weight.
    struct Sizes {
        const OrbitCells* cells = nullptr;
        const std::vector<std::uint32_t>* sizes = nullptr;
        std::uint32_t lastSize = kAbsent;
        std::optional<double> lastWeight;
    };
    mutable std::vector<Sizes> sizes_; // per op
    mutable std::map<std::pair<std::uint32_t, std::uint32_t>, std::optional<double>> weights_;
};

} // namespace

SweepReads::SweepReads(const GMap& gmap, std::size_t universe, PositionReader& positions)
    : gmap_(gmap), universe_(universe), reader_(positions) {
    const LinkSummary links(
        gmap.darts(), [](DartID, Dim, DartID, std::int64_t) {}, universe);
    involutive_ = links.involutive;
    for (int d = 0; d <= static_cast<int>(kDimension); ++d)
        if (links.used[d]) linkedDims_.push_back(d);
}

const OrbitCells* SweepReads::cells(const std::vector<int>& dims) {
    std::vector<int> key;
    for (int d : sortedUnique(dims))
        if (std::binary_search(linkedDims_.begin(), linkedDims_.end(), d)) key.push_back(d);
    auto found = cells_.find(key);
    if (found == cells_.end()) {
        OrbitCells numbered;
        static_cast<Cells&>(numbered) =
            gorvin::cells(gmap_.darts(), std::vector<Dim>(key.begin(), key.end()), universe_);
        numbered.dims = key;
        found = cells_.emplace(key, std::move(numbered)).first;
    }
    return &found->second;
}

const Field* SweepReads::positions() {
    if (!positions_)
        positions_ = gathered(
            *this, cells({1, 2, 3}), [&](DartID d) { return reader_.point(d); },
            [&](DartID d, DartID first) {
                const std::uint32_t p = reader_.deferredTo(d);
                return p != kAbsent && p == reader_.deferredTo(first);
            });
    return &*positions_;
}

const std::vector<std::uint32_t>& SweepReads::cellSizes(const OrbitCells* cells, int free,
                                                        int linked) {
    auto [found, added] = sizes_.try_emplace({cells, free, linked});
    if (added) {
        found->second = backedVector<std::uint32_t>(cells->representatives.size());
        for (DartID d = 0; d < universe_; ++d) {
            const std::uint32_t c = cells->cellOf[d];
            if (c != kAbsent && kept(gmap_, d, free, linked)) ++found->second[c];
        }
    }
    return found->second;
}

Field SweepReads::zeros(const Form& form) {
    const std::size_t size = form.shape == Shape::uniform ? 1
                             : form.shape == Shape::cells ? form.cells->representatives.size()
                                                          : universe_; // pairs and darts
    auto best = spare_.end();
    for (auto spare = spare_.begin(); spare != spare_.end(); ++spare)
        if (spare->capacity() >= size &&
            (best == spare_.end() || spare->capacity() < best->capacity()))
            best = spare;
    if (best == spare_.end()) return {form, backedVector<Point>(size), {}};
    std::vector<Point> values = std::move(*best);
    spare_.erase(best);
    values.assign(size, Point{});
    return {form, std::move(values), {}};
}

void SweepReads::recycle(Field&& field) {
    if (field.values.capacity() > 1) spare_.push_back(std::move(field.values));
}

const Field* SweepReads::orbitMean(const std::vector<int>& dims) {
    const OrbitCells* of = cells(dims);
    auto found = means_.find(of);
    if (found != means_.end()) return &found->second;
    const Field* points = positions();
    Field out = cellMeans(
        *this, of, [&](DartID d, bool&) { return points->at(d); }, [](DartID) { return true; });
    return &means_.emplace(of, std::move(out)).first->second;
}

const std::vector<std::uint32_t>& SweepReads::rowsInDartOrder(const RowTable& rows,
                                                              std::uint32_t node) {
    auto [found, added] = rowOrders_.try_emplace(node);
    if (!added) return found->second;
    std::vector<std::uint32_t> rowOf = backedVector<std::uint32_t>(universe_, kAbsent);
    for (std::size_t r = 0; r < rows.count; ++r) {
        const DartID x = rows.leftDart(r, node);
        if (x >= universe_ || rowOf[x] != kAbsent) return found->second; // empty: row order
        rowOf[x] = static_cast<std::uint32_t>(r);
    }
    std::size_t n = 0; // rows before dart x are at most x
    for (const std::uint32_t r : rowOf)
        if (r != kAbsent) rowOf[n++] = r;
    rowOf.resize(n);
    return found->second = std::move(rowOf);
}

std::optional<Column> sweptProgramValues(const PointProgram& program, const MatchedRows& matched,
                                         SweepReads& reads) {
    const RowTable& rows = matched.rows;
    if (!Sweep::serves(program) || !reads.serves() || rows.count * 2 < reads.universe())
        return std::nullopt;
    Sweep sweep(program, reads);
    sweep.run();
    const auto root = static_cast<std::uint32_t>(program.ops().size() - 1);
    const std::vector<int>& shared = program.ops().back().shared;
    const OrbitCells* cells = shared.empty() ? nullptr : reads.cells(shared);
    // A root constant over cells that hold the shared cells is computed once per shared cell.
    const Form& form = sweep.form(root);
    const bool perCell = cells && (form.shape == Shape::uniform ||
                                   (grouped(form) && includes(form.dims(), cells->dims)));
    CellSharedColumn out(rows.count, cells ? cells->representatives.size() : rows.count, !perCell);
    // Rows of one cell or pair of the root's form have its value: consecutive rows often share it.
    DartID lastDart = kNoLink;
    Point last{};
    const auto sharesLast = [&](DartID x) {
        if (lastDart == kNoLink) return false;
        if (form.shape == Shape::uniform) return true;
        if (form.shape == Shape::cells)
            return form.cells->cellOf[x] == form.cells->cellOf[lastDart];
        if (form.shape == Shape::pairs)
            return x == lastDart || neighbourOf(reads.gmap(), x, form.dim) == lastDart;
        return x == lastDart;
    };
    const std::vector<std::uint32_t>& order = reads.rowsInDartOrder(rows, program.node());
    for (std::size_t k = 0; k < rows.count; ++k) {
        const std::size_t r = order.empty() ? k : order[k];
        const DartID x = rows.leftDart(r, program.node());
        const std::uint32_t c = cells ? cells->cellOf[x] : kAbsent;
        if (perCell && out.has(c)) {
            out.repeat(r, c);
            continue;
        }
        if (!sharesLast(x)) {
            bool bad = false;
            last = sweep.valueAt(root, x, bad);
            if (bad) return std::nullopt;
            lastDart = x;
        }
        out.add(r, c, last);
    }
    return std::move(out).finish();
}

} // namespace gorvin::native
