// Orbits: the darts reachable from a start dart by following the links of a list of dimensions.
// A walk costs O(orbit size): its visited marks are cleared per pass, never per table. Results are
// ascending dart ids. A list holding the whole-map marker stands for every live dart.
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

// The neighbour a walk follows: the link of slot x for d in 0..3, x itself for any other d (also
// when x is a deleted slot). x must name a slot.
inline DartID walkNeighbour(const std::vector<IDart>& darts, DartID x, int d) {
    return d >= 0 && d <= static_cast<int>(kDimension) ? darts[x].alpha[d] : x;
}

// Ascending ids of every slot that is not deleted.
template <class Policy> std::vector<DartID> liveDarts(const IGMap<Policy>& gmap) {
    std::vector<DartID> live;
    const auto& darts = gmap.darts();
    for (DartID i = 0; i < darts.size(); ++i)
        if (darts[i].exists()) live.push_back(i);
    return live;
}

// Ascending ids of the darts reachable from start through the links of dims (a dimension outside
// 0..3 leads a dart to itself). Throws GorvinUnexistentDartException when the walk meets an index
// that names no slot: a start beyond the table, or a link into a deleted or removed slot.
// An empty list gives {start} without looking at the table; the whole-map marker gives liveDarts.
template <class Policy>
std::vector<DartID> orbitDarts(const IGMap<Policy>& gmap, const std::vector<int>& dims,
                               DartID start) {
    if (namesWholeMap(dims)) return liveDarts(gmap);
    if (dims.empty()) return {start};
    thread_local DartMarks visited; // a walk never calls out, so it cannot be re-entered
    visited.newPass();
    const auto& darts = gmap.darts();
    std::vector<DartID> found;
    std::vector<DartID> pending{start};
    while (!pending.empty()) {
        const DartID x = pending.back();
        pending.pop_back();
        if (x >= darts.size()) throw GorvinUnexistentDartException{};
        if (!visited.mark(x)) continue;
        found.push_back(x);
        for (int d : dims) {
            const DartID y = walkNeighbour(darts, x, d);
            if (!visited.marked(y)) pending.push_back(y);
        }
    }
    // A large orbit is listed by scanning the marks, which is cheaper than sorting it.
    if (found.size() < darts.size() / 16) {
        std::sort(found.begin(), found.end());
    } else {
        found.clear();
        for (DartID i = 0; i < darts.size(); ++i)
            if (visited.marked(i)) found.push_back(i);
    }
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
