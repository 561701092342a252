// The multiplicity of a rule node: an interval [min, max] of instances, always with min <= max.
#pragma once

#include <algorithm>
#include <cstdint>

namespace gorvin {

class RuleNodeMultiplicity {
  public:
    RuleNodeMultiplicity(std::uint32_t a = 1, std::uint32_t b = 1)
        : min_(std::min(a, b)), max_(std::max(a, b)) {}

    std::uint32_t min() const { return min_; }
    std::uint32_t max() const { return max_; }
    // True when the interval admits exactly one instance.
    bool admitsOne() const { return min_ <= 1 && max_ >= 1; }

    bool operator==(const RuleNodeMultiplicity& o) const {
        return min_ == o.min_ && max_ == o.max_;
    }
    bool operator!=(const RuleNodeMultiplicity& o) const { return !(*this == o); }

  private:
    std::uint32_t min_;
    std::uint32_t max_;
};

} // namespace gorvin
