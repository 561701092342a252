// Input hooks: a table of darts, one column per hook node of a rule. AtomicInputHooks, the one
// implementation, holds one dart per column and is never modified after construction.
#pragma once

#include "gorvin/core/types.h"

#include <cstddef>
#include <utility>
#include <vector>

namespace gorvin {

class InputHooks {
  public:
    virtual ~InputHooks() = default;
    virtual std::vector<DartID> column(std::size_t c) const = 0;
    // The dart at (c, r), or kNoLink where there is none.
    virtual DartID dartAt(std::size_t c, std::size_t r) const = 0;
    virtual std::size_t sizeCol() const = 0;
    virtual std::size_t sizeRow(std::size_t c) const = 0;
};

class AtomicInputHooks : public InputHooks {
  public:
    AtomicInputHooks() = default;
    explicit AtomicInputHooks(std::vector<DartID> darts) : darts_(std::move(darts)) {}

    // A one-dart column; an empty one for a column out of range.
    std::vector<DartID> column(std::size_t c) const override {
        return c < darts_.size() ? std::vector<DartID>{darts_[c]} : std::vector<DartID>{};
    }
    DartID dartAt(std::size_t c, std::size_t r) const override {
        return c < darts_.size() && r == 0 ? darts_[c] : kNoLink;
    }
    std::size_t sizeCol() const override { return darts_.size(); }
    std::size_t sizeRow(std::size_t c) const override { return c < darts_.size() ? 1 : 0; }

  private:
    std::vector<DartID> darts_;
};

} // namespace gorvin
