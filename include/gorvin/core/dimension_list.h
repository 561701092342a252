// An ordered list of dimensions kept verbatim: order, repeats and values outside 0..3 are all
// preserved and nothing is validated. Orbits and islets are both named by such a list.
#pragma once

#include "gorvin/core/types.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace gorvin {

// The entries, each followed by one blank, between `open` and ">": <0 1 >, <>.
inline std::string dimensionText(const std::vector<int>& dims, const std::string& open = "<") {
    std::string out = open;
    for (int d : dims)
        out += std::to_string(d) + ' ';
    return out + '>';
}

class DimensionList {
  public:
    DimensionList() = default;
    explicit DimensionList(std::vector<int> dims) : dims_(std::move(dims)) {}

    const std::vector<int>& dims() const { return dims_; }
    std::size_t size() const { return dims_.size(); }
    bool contains(int d) const { return std::find(dims_.begin(), dims_.end(), d) != dims_.end(); }
    // Entry i; std::out_of_range when i is past the end.
    int at(std::size_t i) const {
        if (i >= dims_.size()) throw std::out_of_range("Index out of range");
        return dims_[i];
    }
    std::string text(const std::string& open) const { return dimensionText(dims_, open); }

    bool operator==(const DimensionList& other) const { return dims_ == other.dims_; }
    bool operator!=(const DimensionList& other) const { return dims_ != other.dims_; }

  private:
    std::vector<int> dims_;
};

// The distinct dimensions of a list that are links (0..3), in list order: the others lead a dart
// to itself and add nothing to a walk.
struct LinkDims {
    std::array<Dim, kDimension + 1> dims{};
    unsigned count = 0;

    explicit LinkDims(const std::vector<int>& list) {
        for (int d : list) {
            if (!isLinkDimension(d)) continue;
            const auto dim = static_cast<Dim>(d);
            if (std::find(dims.begin(), dims.begin() + count, dim) == dims.begin() + count)
                dims[count++] = dim;
        }
    }
};

// True when the list holds the whole-map marker anywhere.
inline bool namesWholeMap(const std::vector<int>& dims) {
    return std::find(dims.begin(), dims.end(), kWholeMap) != dims.end();
}

} // namespace gorvin
