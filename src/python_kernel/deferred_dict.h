// What a deferred dict slot is made from (the embedding table's patterns): a dict holding one item
// under one key, a dict holding a row of a point block under one key, or a copy of a dict. Readers
// that only look inside the value read these instead and make nothing.
#pragma once

#include <pybind11/pybind11.h>

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace gorvin::python {

namespace py = pybind11;

// A tuple of `size` floats. Floats hold no cycle, so the tuple is untracked by the garbage
// collector, as the collector itself would leave it; the dicts that hold it then stay untracked
// too, and millions of new values cost no collection passes.
inline py::object tupleOf(const double* values, std::size_t size) {
    py::tuple out(size);
    for (std::size_t i = 0; i < size; ++i)
        PyTuple_SET_ITEM(out.ptr(), i, PyFloat_FromDouble(values[i]));
    PyObject_GC_UnTrack(out.ptr());
    return std::move(out);
}

// Points that nothing changes, each read as one tuple of three floats, made on first read and
// shared by every read after. Held through BlockRef.
class PointBlock {
  public:
    explicit PointBlock(std::vector<double>&& points) : points_(std::move(points)) {}

    std::size_t size() const { return points_.size() / 3; }
    // row < size()
    const double* point(std::uint32_t row) const { return points_.data() + 3 * std::size_t{row}; }
    const py::object& tuple(std::uint32_t row) {
        if (tuples_.empty()) tuples_.resize(size()); // on first read: most blocks are never read
        py::object& made = tuples_[row];
        if (!made) made = tupleOf(point(row), 3);
        return made;
    }

  private:
    friend class BlockRef;
    std::vector<double> points_;
    std::vector<py::object> tuples_;
    std::size_t refs_ = 0;
};

// A counted reference to a point block, the size of a pointer: millions of patterns hold one.
// Blocks hold Python objects and are only used with the GIL held, so the count is a plain one.
class BlockRef {
  public:
    BlockRef() = default;
    BlockRef(std::nullptr_t) {}
    // A new block of the points.
    static BlockRef of(std::vector<double>&& points) {
        return BlockRef(new PointBlock(std::move(points)));
    }
    BlockRef(const BlockRef& other) : block_(other.block_) {
        if (block_) ++block_->refs_;
    }
    BlockRef(BlockRef&& other) noexcept : block_(std::exchange(other.block_, nullptr)) {}
    BlockRef& operator=(BlockRef other) noexcept {
        std::swap(block_, other.block_);
        return *this;
    }
    ~BlockRef() {
        if (block_ && --block_->refs_ == 0) delete block_;
    }

    PointBlock* operator->() const { return block_; }
    explicit operator bool() const { return block_ != nullptr; }
    bool operator==(const BlockRef& other) const { return block_ == other.block_; }

  private:
    explicit BlockRef(PointBlock* block) : block_(block) { ++block_->refs_; }
    PointBlock* block_ = nullptr;
};

struct DeferredDict {
    enum class Kind : unsigned char { entry, pointRow, copy };

    py::object key;        // entry, pointRow
    py::object item;       // entry: the value under key; copy: the dict copied
    BlockRef block;        // pointRow
    std::uint32_t row = 0; // pointRow: the row of block
    Kind kind = Kind::entry;

    static DeferredDict entry(py::object key, py::object item) {
        return {std::move(key), std::move(item), nullptr, 0, Kind::entry};
    }
    static DeferredDict pointRow(py::object key, BlockRef block, std::uint32_t row) {
        return {std::move(key), py::object(), std::move(block), row, Kind::pointRow};
    }
    static DeferredDict copyOf(py::object dict) {
        return {py::object(), std::move(dict), nullptr, 0, Kind::copy};
    }

    // The one value under key (entry and pointRow).
    py::object entryValue() const { return kind == Kind::pointRow ? block->tuple(row) : item; }

    // A new dict.
    py::object make() const {
        if (kind == Kind::copy) {
            PyObject* copy = PyDict_Copy(item.ptr());
            if (!copy) throw py::error_already_set();
            return py::reinterpret_steal<py::object>(copy);
        }
        py::dict dict;
        if (PyDict_SetItem(dict.ptr(), key.ptr(), entryValue().ptr()) != 0)
            throw py::error_already_set();
        return std::move(dict);
    }
};

} // namespace gorvin::python
