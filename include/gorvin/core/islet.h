// Islets: for every dart, the smallest label reachable from it through the links of a list of
// dimensions (on involutions, the smallest id of its connected component). Near-linear in the
// number of darts. Deleted slots keep their own label; links to ids without a label are ignored.
#pragma once

#include "gorvin/core/dimension_list.h"
#include "gorvin/core/exceptions.h"
#include "gorvin/core/gmap.h"
#include "gorvin/core/labelling.h"
#include "gorvin/core/neighbour.h"
#include "gorvin/core/types.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace gorvin {

// labels[i] starts as the label of slot i, for slots 0..labels.size()-1, and ends as the smallest
// starting label reachable from slot i. A link to an id past the list is ignored. An empty dims
// returns the list unchanged; otherwise a list longer than the table throws
// GorvinUnexistentDartException.
template <class Policy>
std::vector<DartID> isletLabels(const IGMap<Policy>& gmap, const std::vector<int>& dims,
                                std::vector<DartID> labels) {
    if (dims.empty()) return labels;
    const auto& darts = gmap.darts();
    if (labels.size() > darts.size()) throw GorvinUnexistentDartException{};
    const auto count = static_cast<DartID>(labels.size());
    minimumReachableLabels(labels, static_cast<unsigned>(dims.size()),
                           [&](std::uint32_t i, unsigned k) {
                               const DartID y = neighbour(darts, i, dims[k]);
                               return y < count ? y : kNoPosition;
                           });
    return labels;
}

// The islet of the whole table: every slot starts with its own id.
template <class Policy>
std::vector<DartID> isletLabels(const IGMap<Policy>& gmap, const std::vector<int>& dims) {
    const auto& darts = gmap.darts();
    const auto count = static_cast<DartID>(darts.size());
    const LinkDims links(dims);
    return smallestReachablePositions(count, links.count, [&](std::uint32_t i, unsigned k) {
        const DartID y = darts[i].alpha[links.dims[k]];
        return y < count ? y : kNoPosition;
    });
}

// An islet named by its list of dimensions.
class Islet : public DimensionList {
  public:
    using DimensionList::DimensionList;

    template <class Policy> std::vector<DartID> operator()(const IGMap<Policy>& gmap) const {
        return isletLabels(gmap, dims());
    }
    template <class Policy>
    std::vector<DartID> operator()(const IGMap<Policy>& gmap, std::vector<DartID> labels) const {
        return isletLabels(gmap, dims(), std::move(labels));
    }
};

} // namespace gorvin
