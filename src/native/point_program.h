// Point programs: rules of the point-rule language (gorvinpy.point_rules) compiled to flat ops,
// run natively for every row of an application (point_program.cpp).
#pragma once

#include "batch_columns.h"

#include "gorvin/rules/engine.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace gorvin::native {

// A compiled point rule: ops in evaluation order, operands before the ops that read them; the last
// op is the result. `key` tells programs apart: equal keys compute equal values.
class PointProgram {
  public:
    enum class Kind : unsigned char {
        position,
        constant,
        number,
        orbitMean,
        of,
        at,
        mean,
        orbitSize,
        weight,
        add,
        sub,
        cross,
        scale,
        quotient,
        normalized,
        where,
        scalarAdd,
        scalarSub,
        scalarMul,
        scalarDiv,
        scalarWhere,
        dot,
        isFree,
        faceNormal,
        vertexNormal
    };
    struct Op {
        Kind kind;
        std::vector<int> dims; // orbit, or the dims of `at`
        int free = -1, linked = -1, dim = -1;
        std::uint32_t node = 0;
        double number = 0.0;
        Point constant{};
        py::object function;
        std::uint32_t a = 0, b = 0, c = 0; // operands
        bool rowFree = true;     // reads no fixed left node: its value depends on the dart alone
        std::vector<int> shared; // dims under which its value is expected not to change
    };

    PointProgram(const py::list& ops, std::string key, std::uint32_t node);
    const std::vector<Op>& ops() const { return ops_; }
    const std::string& key() const { return key_; }
    std::uint32_t node() const { return node_; }
    std::uint32_t leftNodesRead() const { return nodesRead_; }

  private:
    std::vector<Op> ops_;
    std::string key_;
    std::uint32_t node_;
    std::uint32_t nodesRead_ = 0; // one past the largest left node read
};

// The value of an elementwise op (add, sub, cross, scale, quotient, normalized, the scalar ops,
// dot) from its operands' values, as gorvinpy.point_rules computes it; nothing for a division by
// zero.
std::optional<Point> elementwise(PointProgram::Kind kind, const Point& p, const Point& q);

// A program's values row by row: a row takes the value of its cell's first row when their bits
// agree; a row of no cell (kAbsent) has a value of its own.
class CellSharedColumn {
  public:
    // `cells` (when known, else 0) bounds the cells the rows lie in. Unless `compared`, only a
    // cell's first row is added.
    CellSharedColumn(std::size_t rows, std::size_t cells, bool compared = true)
        : compared_(compared), firstOfCell_(backedVector(cells, kAbsent)) {
        out_.of = backedVector<std::uint32_t>(rows);
        out_.reserve(cells);
    }
    // Row r of cell c takes p.
    void add(std::size_t r, std::uint32_t c, const Point& p);
    bool has(std::uint32_t c) const {
        return c < firstOfCell_.size() && firstOfCell_[c] != kAbsent;
    }
    // Row r takes the cell's first value, which it is known to compute.
    void repeat(std::size_t r, std::uint32_t c) { out_.of[r] = firstOfCell_[c]; }
    Column finish() && { return std::move(out_).finish(); }

  private:
    bool compared_;
    Column out_;
    std::vector<std::uint32_t> firstOfCell_;
};

class SweepReads;

// The darts of the G-map before the application made the new ones: the darts values are read at.
std::size_t dartsBefore(const GMap& gmap, const MatchedRows& matched);

// The program's values for every row, read at each row's dart of its left node. Rows whose values
// come out bit for bit equal within one cell of the dims the result is expected to be shared over
// share one value. Swept over all darts when that serves (point_sweep.h), else row by row.
Column pointProgramValues(GMap& gmap, const PointProgram& program, const MatchedRows& matched,
                          PositionReader& positions, SweepReads& reads);

} // namespace gorvin::native
