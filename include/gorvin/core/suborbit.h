// Sub-orbits: the parts of an orbit that stay connected through a second list of dimensions, one
// representative (the smallest id) each. Links that leave the orbit are ignored, so a sub-orbit
// never reaches outside its orbit. Runs in near-linear time in the size of the orbit.
#pragma once

#include "gorvin/core/dart_marks.h"
#include "gorvin/core/exceptions.h"
#include "gorvin/core/gmap.h"
#include "gorvin/core/labelling.h"
#include "gorvin/core/neighbour.h"
#include "gorvin/core/orbit.h"
#include "gorvin/core/types.h"

#include <cstdint>
#include <vector>

namespace gorvin {

// Positions of the darts of a list, looked up by dart id; assigning a new list costs its length.
class DartPositions {
  public:
    void assign(const std::vector<DartID>& darts) {
        members_.newPass();
        for (std::uint32_t i = 0; i < darts.size(); ++i) {
            members_.mark(darts[i]);
            if (darts[i] >= positions_.size()) positions_.resize(std::size_t{darts[i]} + 1);
            positions_[darts[i]] = i;
        }
    }
    // The position of dart, or kNoPosition when it is not in the list.
    std::uint32_t operator()(DartID dart) const {
        return members_.marked(dart) ? positions_[dart] : kNoPosition;
    }

  private:
    DartMarks members_;
    std::vector<std::uint32_t> positions_;
};

// Ascending representatives of the sub-orbits over `sub` of the orbit of start over `orbit`.
// Throws as orbitDarts does, and also when `sub` is not empty and the orbit is an unchecked start
// that names no slot.
template <class Policy>
std::vector<DartID> subOrbitRepresentatives(const IGMap<Policy>& gmap,
                                            const std::vector<int>& orbit,
                                            const std::vector<int>& sub, DartID start) {
    std::vector<DartID> members = orbitDarts(gmap, orbit, start);
    if (sub.empty() || members.empty()) return members;
    const auto& darts = gmap.darts();
    if (members.back() >= darts.size()) throw GorvinUnexistentDartException{};
    thread_local DartPositions positions; // never re-entered: the labelling calls no user code
    positions.assign(members);
    std::vector<DartID> labels = members;
    minimumReachableLabels(labels, static_cast<unsigned>(sub.size()),
                           [&](std::uint32_t i, unsigned k) {
                               return positions(neighbour(darts, members[i], sub[k]));
                           });
    // a representative is the one member whose label is its own id
    std::vector<DartID> representatives;
    for (std::uint32_t i = 0; i < members.size(); ++i)
        if (labels[i] == members[i]) representatives.push_back(members[i]);
    return representatives;
}

} // namespace gorvin
