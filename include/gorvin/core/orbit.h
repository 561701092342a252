// Orbits: the darts reachable from a start dart by following the links of a list of dimensions.
// A walk costs O(orbit size): orbits over one or two involutions are walked without marks, others
// unmark what they marked. A list holding the whole-map marker stands for every live dart.
#pragma once

#include "gorvin/core/dart_marks.h"
#include "gorvin/core/dimension_list.h"
#include "gorvin/core/exceptions.h"
#include "gorvin/core/gmap.h"
#include "gorvin/core/types.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace gorvin {

// Ascending ids of every slot that is not deleted.
template <class Policy> std::vector<DartID> liveDarts(const IGMap<Policy>& gmap) {
    std::vector<DartID> live;
    const auto& darts = gmap.darts();
    for (DartID i = 0; i < darts.size(); ++i)
        if (darts[i].exists()) live.push_back(i);
    return live;
}

namespace detail {

// How far past its start a walk asks for darts ahead, for the walk from the next face.
constexpr std::size_t kAheadOfWalk = 64;

// The links of every dart along one dimension, read as a strided column of the table.
class LinkColumn {
  public:
    LinkColumn(const DartTable& darts, Dim d)
        : first_(&darts.data()->alpha[d]), size_(darts.size()) {}
    DartID operator[](DartID x) const { return first_[kStride * x]; }
    // Whether y, the link of x, is a slot that links back to x.
    bool returns(DartID x, DartID y) const { return y < size_ && (*this)[y] == x; }

  private:
    static constexpr std::size_t kStride = sizeof(IDart) / sizeof(DartID);
    static_assert(sizeof(IDart) == kStride * sizeof(DartID), "darts are rows of ids");
    const DartID* first_;
    std::size_t size_;
};

// Walks on from x along d0, d1, d0, ..., appending each dart met, to the free dart that ends a
// path. False when a step follows a link that its target does not return, or the walk does not end.
inline bool walkToPathEnd(const DartTable& darts, DartID x, Dim d0, Dim d1,
                          std::vector<DartID>& out) {
    const LinkColumn columns[2] = {{darts, d0}, {darts, d1}};
    for (std::size_t steps = 0; steps < darts.size(); ++steps) {
        const LinkColumn& along = columns[steps % 2];
        const DartID y = along[x];
        if (y == x) return true;
        if (!along.returns(x, y)) return false;
        out.push_back(y);
        x = y;
    }
    return false;
}

// The orbit of appendDihedralOrbit where it is a path: walked from start to either end. False,
// with out as it was, where a link is not an involution.
[[gnu::noinline]] inline bool appendDihedralPath(const DartTable& darts, Dim d0, Dim d1,
                                                 DartID start, std::vector<DartID>& out) {
    const std::size_t first = out.size();
    out.push_back(start);
    if (walkToPathEnd(darts, start, d0, d1, out) &&
        (d0 == d1 || walkToPathEnd(darts, start, d1, d0, out)))
        return true;
    out.resize(first);
    return false;
}

// The orbit over one or two link dimensions without marks: where both are involutions its darts
// form a path or a cycle alternating the two. A cycle is walked both ways from start at once, the
// two walks being independent chains of reads that end where they meet; where either meets a free
// dart, the orbit is walked again as a path. False, with out as it was, where a link is not an
// involution.
[[gnu::always_inline]] inline bool appendDihedralOrbit(const DartTable& darts,
                                                       const LinkDims& links, DartID start,
                                                       std::vector<DartID>& out) {
    const std::size_t size = darts.size();
    const std::size_t first = out.size();
    if (start + kAheadOfWalk < size) // faces made together lie together
        __builtin_prefetch(darts.data() + start + kAheadOfWalk);
    const Dim d0 = links.dims[0], d1 = links.dims[links.count - 1];
    const LinkColumn column0(darts, d0), column1(darts, d1);
    out.push_back(start);
    DartID x = start, z = start; // the walk along d0 first, and the one along d1 first
    enum Step { kOn, kMet, kOff };
    const auto step = [&](const LinkColumn& a, const LinkColumn& b) { // x along a, z along b
        const DartID y = a[x], w = b[z];
        if (y == x || w == z || !a.returns(x, y) || !b.returns(z, w)) return kOff;
        out.push_back(y);
        if (y == w) return kMet;
        out.push_back(w);
        x = y;
        z = w;
        return kOn;
    };
    for (std::size_t steps = 0; steps < size; steps += 2) {
        Step s = step(column0, column1);
        if (s == kOn) s = step(column1, column0);
        if (s == kMet) return true;
        if (s == kOff) break;
    }
    out.resize(first);
    return appendDihedralPath(darts, d0, d1, start, out);
}

// Marks of the walks of this thread; a walk never calls out, so it is never re-entered.
inline DartBits& walkMarks() {
    thread_local DartBits marks;
    return marks;
}

// Past this many darts a walk reserves room for the whole table at once: the room is address
// space until written, and the darts already found pay for reserving it.
constexpr std::size_t kLargeOrbit = std::size_t{1} << 16;

// Breadth-first walk with out as its queue, marking darts as they are found and unmarking them
// all before it returns. Throws GorvinUnexistentDartException, with out as it was, when a link
// names no slot. Out of line, so that callers of appendOrbit take in only the walks without marks.
// (Unrolled over three dimensions it ran fewer instructions but took 1.6x as long on a walk of
// 8 M darts.)
[[gnu::noinline]] inline void appendMarkedOrbit(const DartTable& darts, const LinkDims& links,
                                                DartID start, std::vector<DartID>& out) {
    DartBits& visited = walkMarks();
    const std::size_t first = out.size();
    const auto unmarkFound = [&] { // id by id, or for a large orbit, word by word
        if ((out.size() - first) * 8 >= darts.size()) return visited.clearBelow(darts.size());
        for (std::size_t i = first; i < out.size(); ++i)
            visited.unmark(out[i]);
    };
    const std::size_t size = darts.size();
    const IDart* table = darts.data();
    const LinkDims dims = links; // a copy, which the writes of the walk cannot change
    std::uint64_t* const bits = visited.wordsBelow(size);
    DartBits::markBit(bits, start);
    out.push_back(start);
    for (std::size_t next = first; next < out.size(); ++next) {
        const IDart& x = table[out[next]];
        for (unsigned k = 0; k < dims.count; ++k) {
            const DartID y = x.alpha[dims.dims[k]];
            if (y >= size) {
                unmarkFound();
                out.resize(first);
                throw GorvinUnexistentDartException{};
            }
            if (!DartBits::markBit(bits, y)) continue;
            __builtin_prefetch(table + y); // read when the queue reaches it
            if (out.size() == out.capacity() && out.size() - first >= kLargeOrbit)
                out.reserve(first + size); // the orbit's bound: no more copies
            out.push_back(y);
        }
    }
    unmarkFound();
}

} // namespace detail

// The orbit of start over the link dimensions of a list read once (LinkDims), for walks from
// many darts: appendOrbit below, for a list that is not empty and holds no whole-map marker.
// Flattened, so that the walk's appends are inlined into it however large its caller is: a walk
// without marks makes no call per dart.
template <class Policy>
[[gnu::flatten]] void appendOrbit(const IGMap<Policy>& gmap, const LinkDims& links, DartID start,
                                  std::vector<DartID>& out) {
    const auto& darts = gmap.darts();
    if (start >= darts.size()) throw GorvinUnexistentDartException{};
    if (links.count == 0) {
        out.push_back(start);
        return;
    }
    if (links.count <= 2 && detail::appendDihedralOrbit(darts, links, start, out)) return;
    detail::appendMarkedOrbit(darts, links, start, out);
}

// Appends to out the darts reachable from start through the links of dims, each once and in no
// particular order (a dimension outside 0..3 leads a dart to itself). Costs the orbit's size.
// Throws GorvinUnexistentDartException, with out as it was, when the walk meets an index that
// names no slot: a start beyond the table, or a link into a deleted or removed slot. An empty
// list gives start without looking at the table; the whole-map marker gives liveDarts.
template <class Policy>
void appendOrbit(const IGMap<Policy>& gmap, const std::vector<int>& dims, DartID start,
                 std::vector<DartID>& out) {
    if (namesWholeMap(dims)) {
        const std::vector<DartID> live = liveDarts(gmap);
        out.insert(out.end(), live.begin(), live.end());
        return;
    }
    if (dims.empty()) {
        out.push_back(start);
        return;
    }
    appendOrbit(gmap, LinkDims(dims), start, out);
}

// The darts of appendOrbit in ascending order. A large orbit is ordered by scanning marks, which
// is cheaper than sorting it.
template <class Policy>
std::vector<DartID> orbitDarts(const IGMap<Policy>& gmap, const std::vector<int>& dims,
                               DartID start) {
    std::vector<DartID> found;
    appendOrbit(gmap, dims, start, found);
    if (found.size() < 2 || found.size() * 16 < gmap.size()) { // a lone start may name no slot
        std::sort(found.begin(), found.end());
        return found;
    }
    DartBits& marks = detail::walkMarks();
    for (DartID x : found)
        marks.mark(x);
    found.clear();
    marks.drainAscending(gmap.size(), found);
    return found;
}

// An orbit named by its list of dimensions.
class Orbit : public DimensionList {
  public:
    using DimensionList::DimensionList;

    template <class Policy>
    std::vector<DartID> operator()(const IGMap<Policy>& gmap, DartID start) const {
        return orbitDarts(gmap, dims(), start);
    }
};

} // namespace gorvin
