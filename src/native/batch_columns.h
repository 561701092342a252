// The values an application computes, one column per expression, and the position reads they
// start from: shared by the batch evaluation (batch.cpp) and point programs (point_program.cpp).
#pragma once

#include "native.h"

#include "gorvin/core/dart_map.h"
#include "gorvin/core/prefault.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

namespace gorvin::native {

using Point = std::array<double, 3>;

// n copies of value in memory backed by pages in one request (see prefaultPages): one page fault
// per page of a large fresh table costs more than filling it.
template <class T> std::vector<T> backedVector(std::size_t n, const T& value = T{}) {
    std::vector<T> out;
    out.reserve(n);
    prefaultPages(out.data(), n * sizeof(T));
    out.resize(n, value);
    return out;
}

inline bool sameBits(const Point& a, const Point& b) {
    return std::memcmp(&a, &b, sizeof(Point)) == 0;
}

// A tuple of floats, untracked by the garbage collector (see tupleOf).
inline py::object untrackedIfFloats(py::object value) {
    PyObject* tuple = value.ptr();
    if (!PyTuple_CheckExact(tuple) || !PyObject_GC_IsTracked(tuple)) return value;
    for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(tuple); ++i)
        if (!PyFloat_CheckExact(PyTuple_GET_ITEM(tuple, i))) return value;
    PyObject_GC_UnTrack(tuple);
    return value;
}

// One distinct value of a column (see PatternItem).
using Item = PatternItem;

// The values of one expression for every row: row r has distinct value of[r]. The distinct values
// are items, then points computed here, which become rows of one block when the column is
// complete (finish); a point costs no item.
struct Column {
    std::vector<std::uint32_t> of;

    std::size_t size() const {
        return items_.size() + (block_ ? block_->size() : points_.size() / 3);
    }
    // Distinct value i (i < size()) of a finished column.
    Item item(std::size_t i) const {
        if (i < items_.size()) return items_[i];
        return Item{py::object(), block_, static_cast<std::uint32_t>(i - items_.size()), kAbsent};
    }
    // The distinct values that are items, then the block of the computed points (null before
    // finish or when there are none): value i >= items().size() is its row i - items().size().
    const std::vector<Item>& items() const { return items_; }
    const BlockRef& block() const { return block_; }
    // Computed point i (i >= items().size()) while the column is being filled.
    const double* point(std::size_t i) const { return points_.data() + 3 * (i - items_.size()); }
    py::object at(std::size_t r) const { return item(of[r]).object(); }

    std::uint32_t add(Item item) {
        if (!points_.empty()) throw std::logic_error("column: an item after computed points");
        items_.push_back(std::move(item));
        return static_cast<std::uint32_t>(items_.size() - 1);
    }
    std::uint32_t add(py::object value) { return add(Item{std::move(value)}); }
    std::uint32_t add(const Point& point) {
        points_.insert(points_.end(), point.begin(), point.end());
        return static_cast<std::uint32_t>(size() - 1);
    }
    // Room for `count` computed points, backed by pages at once.
    void reserve(std::size_t count) {
        points_.reserve(3 * count);
        prefaultPages(points_.data(), 3 * count * sizeof(double));
    }
    Column&& finish() && {
        if (!points_.empty()) block_ = BlockRef::of(std::move(points_));
        points_.clear();
        return std::move(*this);
    }

  private:
    std::vector<Item> items_;
    std::vector<double> points_;
    BlockRef block_;
};

// Distinct values of a column by a key below a bound: rows with the same key share one value. Its
// cost follows the keys used, not the bound.
class SharedBy {
  public:
    explicit SharedBy(std::size_t keys) : keys_(keys), local_(keys) {}

    // The value of a row with this key; a key at or past the bound is a value of its own.
    template <class Make> std::uint32_t operator()(Column& column, std::size_t key, Make&& make) {
        if (key >= keys_) return column.add(make());
        std::uint32_t local = local_.get(static_cast<DartID>(key));
        if (local == kAbsent) {
            local = column.add(make());
            local_.set(static_cast<DartID>(key), local);
        }
        return local;
    }

  private:
    std::size_t keys_;
    DartMap local_;
};

// Positions of darts as one program reads them. A dart deferred to a position pattern reads the
// pattern, looked at once per pattern; the others read their stored value.
class PositionReader {
  public:
    explicit PositionReader(GMap& gmap)
        : gmap_(gmap), patternCount_(Bulk(gmap).patternCount()), knownOf_(patternCount_) {}

    // Pattern numbers are below this.
    std::size_t patternCount() const { return patternCount_; }

    // The pattern the dart's position slot is deferred to (one made before the reader; not one
    // added since), or kAbsent: darts deferred to one pattern have one position.
    std::uint32_t deferredTo(DartID x) const {
        const std::uint32_t p = Bulk(gmap_).deferredTo(x, kVertexSlot);
        return p < patternCount_ ? p : kAbsent;
    }

    // The pattern that gives the dart's position, or kAbsent.
    std::uint32_t pattern(DartID x) {
        const std::uint32_t p = deferredTo(x);
        if (p == kAbsent) return kAbsent;
        return known(p, x).state == State::item ? p : kAbsent;
    }

    // The dart's position as a column value.
    Item item(DartID x) {
        const std::uint32_t p = pattern(x);
        return p == kAbsent ? Item{untrackedIfFloats(storedPosition(gmap_, x))} : known(p, x).item;
    }

    Point point(DartID x) {
        Point out;
        if (const double* row = pointRow(x)) {
            std::copy_n(row, 3, out.begin());
            return out;
        }
        const std::uint32_t p = pattern(x);
        if (p == kAbsent) {
            readPoint(storedPosition(gmap_, x), x, out.data());
            return out;
        }
        Known& known = this->known(p, x);
        if (!known.pointRead) {
            if (known.item.block)
                std::copy_n(known.item.point(), 3, known.point.begin());
            else
                readPoint(known.item.item, x, known.point.data());
            known.pointRead = true;
        }
        return known.point;
    }

  private:
    // The dart's position when its pattern holds it as a row of a point block under the interned
    // "position" (as the companion's own patterns do), else null: read without learning the
    // pattern.
    const double* pointRow(DartID x) {
        const std::uint32_t p = deferredTo(x);
        if (p == kAbsent) return nullptr;
        const DeferredDict& value = Bulk(gmap_).pattern(p).value;
        if (value.kind != DeferredDict::Kind::pointRow || !value.key.is(positionKey()))
            return nullptr;
        return value.block->point(value.row);
    }

    enum class State : unsigned char { item, none };
    struct Known {
        State state = State::none;
        bool pointRead = false;
        Item item;
        Point point{};
    };

    // What pattern p (p < patternCount_) gives, learnt from it once through dart x.
    Known& known(std::uint32_t p, DartID x) {
        std::uint32_t k = knownOf_.get(p);
        if (k == kAbsent) {
            k = static_cast<std::uint32_t>(known_.size());
            known_.emplace_back();
            learn(x, known_.back());
            knownOf_.set(p, k);
        }
        return known_[k];
    }

    void learn(DartID x, Known& known) {
        auto deferred = patternItem(gmap_, x, kVertexSlot, positionKey());
        if (!deferred || !deferred->holds()) return;
        if (!deferred->block) deferred->item = untrackedIfFloats(std::move(deferred->item));
        known.item = std::move(*deferred);
        known.state = State::item;
    }

    GMap& gmap_;
    std::size_t patternCount_;
    DartMap knownOf_; // pattern -> its place in known_
    std::vector<Known> known_;
};

} // namespace gorvin::native
