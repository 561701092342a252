// The companion module's shared pieces: the kernel as gorvinpy_bin instantiates it, dart id arrays
// checked against a G-map, and vectors handed to NumPy without a copy.
#pragma once

#include "python_types.h"

#include "gorvin/core/bulk_edit.h"

#include <pybind11/numpy.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace gorvin::native {

namespace py = pybind11;
using python::BlockRef;
using python::DeferredDict;
using python::GMap;
using python::PointBlock;
using python::tupleOf;

// Id arrays arrive as C-ordered int64, whatever integer type the caller used.
constexpr int kIdArray = py::array::c_style | py::array::forcecast;
using Ids = py::array_t<std::int64_t, kIdArray>;

// The ids of a one-dimensional array; IndexError naming the first one that is no slot of gmap.
std::vector<DartID> checkedIds(const GMap& gmap, const Ids& ids);

using Points = py::array_t<double, kIdArray>;

// The embedding slots of the cells that mesh data and positions live on (bit d: alpha_d in the
// orbit); gorvinpy reads them from the module.
constexpr unsigned kVertexSlot = 0b1110; // orbit <1,2,3>
constexpr unsigned kFaceSlot = 0b1011;   // orbit <0,1,3>
constexpr unsigned kVolumeSlot = 0b0111; // orbit <0,1,2>
constexpr const char* kPosition = "position";
// kPosition as an interned str, made once.
const py::str& positionKey();

// Points handed out by entry: entry i is points[rows[i]] (points[i] without rows), as a tuple of
// three floats made once per row. The constructor checks shapes and rows (IndexError naming a row
// that is not one of the points).
class PointRows {
  public:
    PointRows(Points points, std::optional<Ids> rows, std::size_t entries,
              const std::string& caller);
    std::size_t size() const { return entries_; }
    std::size_t rowCount() const { return static_cast<std::size_t>(points_.shape(0)); }
    std::size_t row(std::size_t entry) const {
        return static_cast<std::size_t>(rows_ ? rows_->data()[entry] : std::int64_t(entry));
    }
    const py::object& tuple(std::size_t entry);
    // The points as a new point block.
    BlockRef block() const;

  private:
    Points points_;
    std::optional<Ids> rows_;
    std::size_t entries_;
    std::vector<py::object> tuples_;
};

// Gives new darts first .. first + points.size() - 1, whose embedding records are still unmade,
// their positions: each its own <1,2,3> dict holding the entry's tuple under "position".
void storeNewPositions(GMap& gmap, DartID first, PointRows& points);

// Polygons as flat arrays: face f lists the point indices corners[offsets[f] .. offsets[f+1]).
struct FaceArrays {
    py::array_t<std::int64_t, kIdArray> corners;
    py::array_t<std::int64_t, kIdArray> offsets;

    std::size_t count() const { return static_cast<std::size_t>(offsets.shape(0)) - 1; }
    const std::int64_t* begin(std::size_t f) const { return corners.data() + offsets.data()[f]; }
    const std::int64_t* end(std::size_t f) const { return corners.data() + offsets.data()[f + 1]; }
};

// The faces of two one-dimensional arrays; ValueError unless the offsets start at 0, never
// decrease and end at len(corners).
FaceArrays checkedFaces(py::array_t<std::int64_t, kIdArray> corners,
                        py::array_t<std::int64_t, kIdArray> offsets);

// A NumPy array that takes over the vector's memory: one-dimensional, or rows of `columns` values.
template <class T> py::array_t<T> asArray(std::vector<T>&& values, py::ssize_t columns = 0) {
    auto* owned = new std::vector<T>(std::move(values));
    py::capsule free(owned, [](void* p) { delete static_cast<std::vector<T>*>(p); });
    const auto size = static_cast<py::ssize_t>(owned->size());
    if (columns == 0) return py::array_t<T>(size, owned->data(), free);
    return py::array_t<T>({size / columns, columns}, owned->data(), free);
}

// The value stored under "position" in the <1,2,3> slot of a dart (a slot of gmap), read from its
// pattern when the slot is deferred to one of the companion's; KeyError naming the dart when there
// is none, IndexError when the dart is gone.
py::object storedPosition(GMap& gmap, DartID dart);
// The three coordinates of `value`, the position of `dart`; ValueError naming the dart when it is
// not three numbers.
void readPoint(const py::handle& value, DartID dart, double* out);

// The kernel's bulk interface, which the companion reaches the G-map's tables through; deferred
// slot values are DeferredDicts.
using Bulk = BulkEdit<python::DictEmbedding>;
using Pattern = Bulk::Pattern;
// The str `name`, interned: patterns made with it compare by identity.
py::str internedKey(const std::string& name);
// A value as a deferred slot holds it: the object `item`, or row `row` of the point block `block`.
// `pattern` is the table pattern that holds it as its one entry (kAbsent: none), which other darts
// given the same value may share.
struct PatternItem {
    py::object item;
    BlockRef block = nullptr;
    std::uint32_t row = 0;
    std::uint32_t pattern = kAbsent;

    // Whether there is a value (a deferred slot may hold none under the key asked for).
    bool holds() const { return item || block; }
    py::object object() const { return block ? block->tuple(row) : item; }
    const double* point() const { return block ? block->point(row) : nullptr; }
    // The pattern value that gives it under key.
    DeferredDict deferred(const py::str& key) const {
        return block ? DeferredDict::pointRow(key, block, row) : DeferredDict::entry(key, item);
    }
};
// What a deferred slot of a dart holds under key, read from its pattern (nothing it holds() when
// there is none under key). Nothing when the slot is not deferred, or deferred to a copy of a value
// that is no plain dict (its value must be made to be read).
std::optional<PatternItem> patternItem(GMap& gmap, DartID dart, unsigned slot, const py::str& key);

void bindBulk(py::module_& m);
void bindPositions(py::module_& m);
void bindBatch(py::module_& m);
void bindPointPrograms(py::module_& m);
void bindPolygonLayout(py::module_& m);
void bindMeshFaces(py::module_& m);
void bindChecks(py::module_& m);
void bindMeshText(py::module_& m);
void bindObjWriter(py::module_& m);
void bindRaster(py::module_& m);
void bindStorage(py::module_& m);
void bindSlotItems(py::module_& m);
void bindSurfaceFaults(py::module_& m);

} // namespace gorvin::native
