// The G-map store: a contiguous dart table and the parallel embedding table, indexed by dart id.
// Invariants: both tables have the same length; slot i holds dart i or a deleted slot; ids are
// never reused until resize or clear shrinks the tables. Every id taken from a caller is checked
// here.
#pragma once

#include "gorvin/core/dart.h"
#include "gorvin/core/embedding_table.h"
#include "gorvin/core/exceptions.h"
#include "gorvin/core/types.h"

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <utility>

namespace gorvin {

template <class Policy> class IModeler;

template <class Policy> class IGMap {
  public:
    using Value = typename Policy::Value;
    using Modeler = IModeler<Policy>;
    using Embeddings = EmbeddingTable<Policy>;

    IGMap(std::weak_ptr<Modeler> modeler,
          std::shared_ptr<const typename Embeddings::Descriptors> descriptors, std::uint32_t id)
        : modeler_(std::move(modeler)), id_(id), embeddings_(std::move(descriptors)) {}
    IGMap(const IGMap&) = delete;
    IGMap& operator=(const IGMap&) = delete;

    std::uint32_t id() const { return id_; }
    // The modeler that created this G-map; empty once that modeler is gone.
    const std::weak_ptr<Modeler>& modeler() const { return modeler_; }

    std::size_t size() const { return darts_.size(); }
    bool contains(DartID i) const { return i < darts_.size(); }
    bool exists(DartID i) const { return contains(i) && darts_[i].exists(); }

    // Slot i; throws GorvinUnexistentDartException when i names no slot.
    const IDart& dart(DartID i) const {
        check(i);
        return darts_[i];
    }
    // Neighbour of slot x along d (neighbour.h); throws when x names no slot.
    DartID neighbour(DartID x, Dim d) const { return dart(x).neighbour(d); }

    // The dart table, to read; it changes only through the operations below.
    const DartTable& darts() const { return darts_; }
    // The number of changes made to the dart table so far: equal at two times, nothing changed.
    std::uint64_t changes() const { return changes_; }
    Embeddings& embeddings() { return embeddings_; }

    // Links a and b along d and frees their former neighbours; d > 3 does nothing.
    void linkAlpha(Dim d, DartID a, DartID b) {
        if (d > kDimension) return;
        check(a);
        check(b);
        linkSlots(d, a, b);
    }

    // linkAlpha for d <= 3 and a, b known to name slots.
    void linkSlots(Dim d, DartID a, DartID b) {
        if (darts_[a].alpha[d] == b && darts_[b].alpha[d] == a) return; // already linked
        ++changes_;
        const DartID oa = darts_[a].alpha[d];
        const DartID ob = darts_[b].alpha[d];
        makeLoop(oa, d);
        makeLoop(ob, d);
        darts_[a].alpha[d] = b;
        darts_[b].alpha[d] = a;
    }

    // Makes a free along d and frees its former neighbour; d > 3 does nothing.
    void linkAlpha(Dim d, DartID a) {
        if (d > kDimension) return;
        check(a);
        ++changes_;
        makeLoop(darts_[a].alpha[d], d);
        darts_[a].alpha[d] = a;
    }

    // Writes target as x's link along d without telling target or x's former neighbour (a
    // one-sided link); d > 3 does nothing. x must name a slot; target may name none.
    void setLink(DartID x, Dim d, DartID target) {
        check(x);
        ++changes_;
        darts_[x].setLink(d, target);
    }

    // Erases slot x: its id and links become kDeleted; darts that link to it keep their links.
    void eraseSlot(DartID x) {
        check(x);
        ++changes_;
        darts_[x].erase();
    }

    // Erases slot x and frees the darts that link back to it, so that no live dart keeps a link
    // to the deleted one; a one-sided link to x is left as it is.
    void deleteDart(DartID x) {
        check(x);
        ++changes_;
        for (Dim d = 0; d <= kDimension; ++d) {
            const DartID p = darts_[x].alpha[d];
            if (p < darts_.size() && darts_[p].alpha[d] == x) darts_[p].alpha[d] = p;
        }
        darts_[x].erase();
    }

    // Appends n free darts whose embedding values are made on first use; returns the first id.
    DartID makeDarts(std::uint64_t n) { return grow(n, nullptr); }
    // makeDarts, new dart i linking as links(i) says: four ids, alpha0..alpha3, that the caller
    // has checked.
    template <class Links> DartID makeDarts(std::uint64_t n, Links&& links) {
        return grow(n, nullptr, linkedAs(links));
    }

    // Appends n free darts sharing `record` (from embeddings().completeRecord()); returns the first
    // id.
    DartID appendSharedDarts(std::uint64_t n, typename Embeddings::RecordPtr record) {
        return grow(n, std::move(record));
    }

    // appendSharedDarts, new dart i linking as links(i) says: four ids, alpha0..alpha3, that the
    // caller has checked.
    template <class Links>
    DartID appendSharedDarts(std::uint64_t n, typename Embeddings::RecordPtr record,
                             Links&& links) {
        return grow(n, std::move(record), linkedAs(links));
    }

    // Grows with darts sharing one default record, or drops the slots from n on.
    void resize(std::uint64_t n) {
        if (n > darts_.size()) {
            auto record = embeddings_.completeRecord(); // may change the size
            if (n > darts_.size()) {
                grow(n - darts_.size(), std::move(record));
                return;
            }
        }
        ++changes_;
        darts_.resize(n);
        embeddings_.truncate(n);
    }

    void reserve(std::uint64_t n) {
        darts_.reserve(n);
        embeddings_.reserve(n);
    }

    void clear() {
        ++changes_;
        darts_.clear();
        embeddings_.truncate(0);
    }

  private:
    void check(DartID i) const {
        if (i >= darts_.size()) throw GorvinUnexistentDartException{};
    }
    // A deleted slot keeps the deleted marker in every field.
    void makeLoop(DartID x, Dim d) {
        if (exists(x)) darts_[x].alpha[d] = x;
    }
    // Size after adding n darts; the ids must stay below the deleted marker.
    DartID grownSize(std::uint64_t n) const {
        if (n > std::uint64_t{kDeleted} - darts_.size())
            throw std::length_error("dart ids exhausted");
        return static_cast<DartID>(darts_.size());
    }
    // The maker of new dart i with the links links(i).
    template <class Links> static auto linkedAs(Links& links) {
        return [&links](DartID id, std::size_t i) { return IDart{id, links(i)}; };
    }
    // Appends n free darts, sharing `record` or, when it is null, with records made on first use.
    DartID grow(std::uint64_t n, typename Embeddings::RecordPtr record) {
        return grow(n, std::move(record), [](DartID id, std::size_t) { return IDart::fresh(id); });
    }
    // The same with dart first + i made by make(first + i, i).
    template <class Make>
    DartID grow(std::uint64_t n, typename Embeddings::RecordPtr record, Make&& make) {
        const DartID first = grownSize(n);
        ++changes_;
        if (record)
            embeddings_.appendShared(n, std::move(record));
        else
            embeddings_.appendFresh(n);
        try {
            darts_.appendGenerated(
                n, [&](std::size_t i) { return make(static_cast<DartID>(first + i), i); });
        } catch (...) {
            embeddings_.truncate(first);
            throw;
        }
        return first;
    }

    std::weak_ptr<Modeler> modeler_;
    std::uint32_t id_;
    DartTable darts_;
    std::uint64_t changes_ = 0;
    Embeddings embeddings_;
};

} // namespace gorvin
