// A column/row table of dart ids, stored column after column, every entry the no-link value. Its
// size queries answer with the constructor's arguments swapped: sizeCol() is the row count given.
#pragma once

#include "gorvin/core/types.h"

#include <cstddef>
#include <limits>
#include <stdexcept>
#include <vector>

namespace gorvin {

class RuleResult {
  public:
    RuleResult(std::size_t cols, std::size_t rows)
        : table_(checkedArea(cols, rows), kNoLink), cols_(cols), rows_(rows) {}

    // The entry of cell (col, row); std::out_of_range outside the table.
    DartID operator()(std::size_t col, std::size_t row) const {
        if (col >= cols_ || row >= rows_) throw std::out_of_range("Index out of range");
        return table_[col * rows_ + row];
    }
    std::size_t sizeCol() const { return rows_; }
    std::size_t sizeRow() const { return cols_; }

  private:
    static std::size_t checkedArea(std::size_t cols, std::size_t rows) {
        if (rows != 0 && cols > std::numeric_limits<std::size_t>::max() / rows)
            throw std::length_error("RuleResult larger than memory");
        return cols * rows;
    }

    std::vector<DartID> table_;
    std::size_t cols_;
    std::size_t rows_;
};

} // namespace gorvin
