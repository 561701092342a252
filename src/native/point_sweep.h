// Point programs swept over every dart at once (point_sweep.cpp): each op's values for all darts
// in one pass, kept once per cell where the darts of a cell share them. The per-row evaluation
// (point_program.cpp) serves the programs and maps a sweep does not.
#pragma once

#include "point_program.h"

#include "gorvin/geometry/extraction.h"

#include <cstdint>
#include <map>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

namespace gorvin::native {

// The cells of an orbit among the darts below a bound, numbered in order of their smallest dart
// (gorvin::cells), with the orbit's dims.
struct OrbitCells : Cells {
    std::vector<int> dims; // ascending
};

// Where an op's values vary: one for all darts, one per cell of an orbit, one per pair of a dart
// and its neighbour along one dim (kept per dart, with no numbering), or one per dart.
struct Form {
    enum class Shape : unsigned char { uniform, cells, pairs, darts };
    Shape shape = Shape::uniform;
    const OrbitCells* cells = nullptr;
    int dim = -1; // pairs

    // The dims whose orbits hold the darts of one value (cells and pairs).
    std::vector<int> dims() const {
        return shape == Shape::pairs ? std::vector<int>{dim} : cells->dims;
    }
};

// An op's values, one per place of its form. A value whose evaluation fails (a mean over no dart,
// a division by zero, a weight that raises) is marked bad.
struct Field {
    Form form;
    std::vector<Point> values;
    std::vector<unsigned char> bad; // empty when none is bad

    static Field one(const Point& p) { return {{}, {p}, {}}; }

    std::size_t index(DartID d) const {
        return form.shape == Form::Shape::uniform ? 0
               : form.shape == Form::Shape::cells ? form.cells->cellOf[d]
                                                  : d; // pairs and darts
    }
    const Point& at(DartID d) const { return values[index(d)]; }
    bool badAt(DartID d) const { return !bad.empty() && bad[index(d)]; }
};

// What the programs of one application read alike: the cells of each orbit and the fields of
// the positions (read through `positions`) and of their orbit means. Valid while the G-map's links
// and values stay as they were when it was made.
class SweepReads {
  public:
    SweepReads(const GMap& gmap, std::size_t universe, PositionReader& positions);

    // Whether every link of a live dart below the bound names itself or a live dart below the
    // bound that links back: the maps a sweep serves (the per-row evaluation walks the others as
    // they are).
    bool serves() const { return involutive_; }
    // The cells of `dims`, numbered once for dims that differ only by dims no dart is linked
    // along.
    const OrbitCells* cells(const std::vector<int>& dims);
    const Field* positions();
    const Field* orbitMean(const std::vector<int>& dims);
    // The darts of each cell free along `free` and linked along `linked` (-1: no condition).
    const std::vector<std::uint32_t>& cellSizes(const OrbitCells* cells, int free, int linked);
    // The rows in the order of their darts of left node `node`, when no two rows share one: the
    // reads of cells and fields then follow memory order. Empty (row order) when two rows share a
    // dart. Made once per node.
    const std::vector<std::uint32_t>& rowsInDartOrder(const RowTable& rows, std::uint32_t node);
    // A field of zero values, one per place of the form, in the buffer of a field recycled before:
    // fresh large buffers cost a page fault for every page.
    Field zeros(const Form& form);
    void recycle(Field&& field);
    std::size_t universe() const { return universe_; }
    const GMap& gmap() const { return gmap_; }

  private:
    const GMap& gmap_;
    std::size_t universe_;
    PositionReader& reader_;
    bool involutive_ = true;
    std::vector<int> linkedDims_; // the dims some live dart is linked along
    std::map<std::vector<int>, OrbitCells> cells_;
    std::optional<Field> positions_;
    std::map<const OrbitCells*, Field> means_;
    std::map<std::tuple<const OrbitCells*, int, int>, std::vector<std::uint32_t>> sizes_;
    std::vector<std::vector<Point>> spare_;
    std::map<std::uint32_t, std::vector<std::uint32_t>> rowOrders_;
};

// The program's values for every row as pointProgramValues gives them, or nothing when the sweep
// does not serve the program or the map, or when a row's value fails (the per-row evaluation then
// raises the error it meets first).
std::optional<Column> sweptProgramValues(const PointProgram& program, const MatchedRows& matched,
                                         SweepReads& reads);

} // namespace gorvin::native
