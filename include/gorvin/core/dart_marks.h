// Marks on dart ids that a new pass clears in O(1). A mark is the number of the pass that set it,
// so only the ids actually marked are ever written, and storage grows with the largest id marked.
// Not shared between threads: each walk keeps its own instance (or one per thread).
#pragma once

#include "gorvin/core/types.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace gorvin {

class DartMarks {
  public:
    // Unmarks every id.
    void newPass() {
        if (++pass_ != 0) return;
        std::fill(stamps_.begin(), stamps_.end(), 0); // the pass number wrapped around
        pass_ = 1;
    }

    bool marked(DartID i) const { return i < stamps_.size() && stamps_[i] == pass_; }

    // Marks i; false when i was marked already in this pass.
    bool mark(DartID i) {
        if (i >= stamps_.size()) stamps_.resize(std::size_t{i} + 1, 0);
        if (stamps_[i] == pass_) return false;
        stamps_[i] = pass_;
        return true;
    }

  private:
    std::vector<std::uint32_t> stamps_;
    std::uint32_t pass_ = 1;
};

} // namespace gorvin
