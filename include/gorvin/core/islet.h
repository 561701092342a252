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

#include <array>
#include <cstdint>
#include <type_traits>
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

namespace detail {

// The islet of the whole table over the links of `links`, with kCount of them where the caller
// knows how many (the loop over them is then unrolled), else 0.
template <unsigned kCount, class Policy>
std::vector<DartID> wholeTableIslet(const IGMap<Policy>& gmap, const LinkDims& links) {
    const auto& darts = gmap.darts();
    const auto count = static_cast<DartID>(darts.size());
    const std::array<Dim, kDimension + 1> dims = links.dims;
    const auto neighbour = [&darts, count, dims](std::uint32_t i, unsigned k) {
        const DartID y = darts[i].alpha[dims[k]];
        return y < count ? y : kNoPosition;
    };
    if constexpr (kCount != 0)
        return smallestReachablePositions(count, std::integral_constant<unsigned, kCount>{},
                                          neighbour);
    else
        return smallestReachablePositions(count, links.count, neighbour);
}

} // namespace detail

// The islet of the whole table: every slot starts with its own id.
template <class Policy>
std::vector<DartID> isletLabels(const IGMap<Policy>& gmap, const std::vector<int>& dims) {
    const LinkDims links(dims);
    switch (links.count) {
    case 2:
        return detail::wholeTableIslet<2>(gmap, links);
    case 3:
        return detail::wholeTableIslet<3>(gmap, links);
    default:
        return detail::wholeTableIslet<0>(gmap, links);
    }
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
