// The embedding table: one record of sixteen values per dart slot, parallel to the dart table.
// Records are reference counted and copied on write, so darts added together can share one record.
// A null record, or a null value in an unshared record, is created from the descriptors on first
// read; a shared record is always complete. Reads hand out the stored value itself. Making and
// releasing values may run code (finalizers) that changes the table, so neither happens while a
// position in the table is held.
// A slot may also be deferred: it reads as the dart's own value made from a pattern on first read,
// and the pattern, not a value per dart, is all that is kept until then. Many darts deferred to one
// pattern cost one index each. What a pattern holds is the policy's `Deferred` type, and
// `Policy::make(deferred)` makes a new value from it.
#pragma once

#include "gorvin/core/embedding_descriptor.h"
#include "gorvin/core/exceptions.h"
#include "gorvin/core/pod_vector.h"
#include "gorvin/core/types.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

namespace gorvin {

template <class Policy> class EmbeddingTable {
  public:
    using Value = typename Policy::Value;
    using Deferred = typename Policy::Deferred;
    using Descriptors = EmbeddingDescriptors<Value>;

    struct Record {
        std::array<Value, kSlots> slots;
        std::size_t refs = 1;
    };
    using RecordPtr = std::unique_ptr<Record>;

    // What deferred slots are made from: Policy::make(value), a new value on every call.
    // Millions of them may be kept: the fields are as small as they can be.
    struct Pattern {
        Deferred value;
        std::uint32_t uses = 0; // deferred slots made from it
        std::uint8_t slot = 0;  // below kSlots
        bool held = false;      // in the table, not taken back
    };

    explicit EmbeddingTable(std::shared_ptr<const Descriptors> descriptors)
        : descriptors_(std::move(descriptors)) {}
    EmbeddingTable(const EmbeddingTable&) = delete;
    EmbeddingTable& operator=(const EmbeddingTable&) = delete;
    ~EmbeddingTable() {
        truncate(0);
        patterns_.clear();
    }

    std::size_t size() const { return size_; }
    void reserve(std::size_t n) { records_.reserve(n); }

    // n records whose values are made on first use, one set per dart.
    void appendFresh(std::size_t n) { appendRun(n, nullptr); }

    // A complete default record. Making its values may run code of the value type (a finalizer),
    // which may change this table: make it before reading positions in the table.
    RecordPtr completeRecord() const {
        RecordPtr record(new Record{});
        for (unsigned k = 0; k < kSlots; ++k)
            record->slots[k] = (*descriptors_)[k].defaultValue();
        return record;
    }

    // n records sharing `shared`, which completeRecord made.
    void appendShared(std::size_t n, RecordPtr shared) {
        if (n == 0) return;
        shared->refs = n;
        appendRun(n, shared.release());
    }

    // Drops the records from n on. The table shrinks before they are released: releasing a value
    // may run code that uses this table.
    void truncate(std::size_t n) {
        if (n >= size_) return;
        std::vector<std::pair<Record*, std::size_t>>
            dropped; // each record, and how many darts held it
        for (std::size_t i = n; i < records_.size(); ++i)
            dropped.emplace_back(records_[i], 1);
        for (std::size_t r = 0; r < runs_.size(); ++r) {
            const std::size_t first = std::max(n, runs_[r].first);
            const std::size_t end = r + 1 < runs_.size() ? runs_[r + 1].first : size_;
            if (first < end) dropped.emplace_back(runs_[r].record, end - first);
        }
        while (!runs_.empty() && runs_.back().first >= n)
            runs_.pop_back();
        if (records_.size() > n) records_.resize(n);
        size_ = n;
        for (std::size_t i = n; i < deferred_.size(); ++i)
            if (deferred_[i] != 0) undefer(i);
        if (deferred_.size() > n) deferred_.resize(n);
        const std::vector<Deferred> unused = takeUnusedPatterns();
        for (const auto& [record, darts] : dropped)
            release(record, darts);
    }

    // The value of slot k of record i (k < kSlots, i < size()). Making a missing value may run code
    // that changes this table; GorvinUnexistentDartException when record i is gone by then.
    Value get(std::size_t i, unsigned k) {
        if (const std::uint32_t tag = deferredTag(i, k)) return makeDeferred(i, k, tag);
        if (const Record* record = recordAt(i); record && record->slots[k]) return record->slots[k];
        Value made = (*descriptors_)[k].defaultValue();
        if (i >= size_) throw GorvinUnexistentDartException{};
        Record*& record = ownSlot(i);
        if (!record) record = new Record{};
        Value& value = record->slots[k];
        if (!value) value = std::move(made);
        return value;
    }

    // The value of slot k of record i when it has been made, else nullptr; makes nothing. A
    // deferred slot has no value yet (see deferred).
    const Value* peek(std::size_t i, unsigned k) const {
        if (deferredTag(i, k) != 0) return nullptr;
        const Record* record = recordAt(i);
        return record && record->slots[k] ? &record->slots[k] : nullptr;
    }

    // Replaces slot k of record i (other darts sharing the record keep the old value) and returns
    // the old value: the caller releases it once it no longer works on the table. A deferred slot
    // stops being deferred.
    [[nodiscard]] Value set(std::size_t i, unsigned k, Value value) {
        if (deferredTag(i, k) != 0) undefer(i);
        Record*& record = ownSlot(i);
        if (!record) {
            record = new Record{};
        } else if (record->refs > 1) {
            Record* own = new Record{record->slots, 1};
            --record->refs;
            record = own;
        }
        std::swap(record->slots[k], value);
        return value;
    }

    // Adds a pattern for `defer` of slot `slot`; returns its number. Until a slot is deferred to
    // it, the next takeUnusedPatterns may take it back.
    std::uint32_t addPattern(Deferred value, unsigned slot) {
        Pattern pattern{std::move(value), 0, static_cast<std::uint8_t>(slot), true};
        std::uint32_t p;
        if (freePatterns_.empty()) {
            if (patterns_.size() >= kMaxPatterns) throw std::length_error("too many patterns");
            p = static_cast<std::uint32_t>(patterns_.size());
            patterns_.push_back(std::move(pattern));
        } else {
            p = freePatterns_.back();
            freePatterns_.pop_back();
            patterns_[p] = std::move(pattern);
        }
        unusedPatterns_.push_back(p);
        return p;
    }

    // Room for `more` patterns beyond those there are, so that adding them moves none.
    void reservePatterns(std::size_t more) {
        const auto grown = [](auto& vector, std::size_t n) {
            if (n > vector.capacity()) vector.reserve(std::max(n, 2 * vector.capacity()));
        };
        grown(patterns_, patterns_.size() + more);
        grown(unusedPatterns_, unusedPatterns_.size() + more);
    }

    // Defers slot patterns[p].slot of record i (i < size()) to pattern p: it reads as its own value
    // made from the pattern on first read. A deferred slot of record i is no longer deferred, and
    // the value slot k held in an unshared record is handed back for the caller to release once it
    // no longer works on the table.
    [[nodiscard]] Value defer(std::size_t i, std::uint32_t p) {
        if (i >= deferred_.size()) deferred_.resize(size_, 0);
        if (deferred_[i] != 0) undefer(i);
        Value old;
        if (Record* record = recordAt(i); record && record->refs == 1)
            std::swap(old, record->slots[patterns_[p].slot]);
        deferred_[i] = tagOf(p, patterns_[p].slot);
        ++patterns_[p].uses;
        return old;
    }

    // The pattern that slot k of record i is deferred to, or kAbsent.
    std::uint32_t deferred(std::size_t i, unsigned k) const {
        const std::uint32_t tag = deferredTag(i, k);
        return tag == 0 ? kAbsent : patternOf(tag);
    }
    const Pattern& pattern(std::uint32_t p) const { return patterns_[p]; }
    // Pattern numbers are below this.
    std::size_t patternCount() const { return patterns_.size(); }

    // The values of the patterns that no slot is deferred to any more, which leave the table: the
    // caller releases them once it no longer works on the table.
    [[nodiscard]] std::vector<Deferred> takeUnusedPatterns() {
        std::vector<Deferred> values;
        values.reserve(unusedPatterns_.size()); // address space: only what is taken is written
        for (const std::uint32_t p : std::exchange(unusedPatterns_, {})) {
            Pattern& pattern = patterns_[p];
            if (pattern.uses != 0 || !pattern.held) continue; // used again, or already taken
            values.push_back(std::move(pattern.value));
            pattern = Pattern{};
            freePatterns_.push_back(p);
        }
        return values;
    }

    const Descriptors& descriptors() const { return *descriptors_; }

  private:
    // A deferral as deferred_ holds it: the pattern and its slot in one word, 0 for none.
    static constexpr unsigned kSlotBits = 4;
    static_assert(kSlots == 1u << kSlotBits);
    static constexpr std::uint32_t kMaxPatterns = (std::uint32_t{1} << (32 - kSlotBits)) - 1;
    static std::uint32_t tagOf(std::uint32_t p, unsigned slot) {
        return (p + 1) << kSlotBits | slot;
    }
    static std::uint32_t patternOf(std::uint32_t tag) { return (tag >> kSlotBits) - 1; }

    // The tag of record i when its slot k is deferred, else 0.
    std::uint32_t deferredTag(std::size_t i, unsigned k) const {
        if (i >= deferred_.size()) return 0;
        const std::uint32_t tag = deferred_[i];
        return tag != 0 && (tag & (kSlots - 1)) == k ? tag : 0;
    }

    void undefer(std::size_t i) {
        const std::uint32_t p = patternOf(deferred_[i]);
        if (--patterns_[p].uses == 0) unusedPatterns_.push_back(p);
        deferred_[i] = 0;
    }

    // Makes the deferred slot k of record i (tagged `tag`) and stores it there.
    Value makeDeferred(std::size_t i, unsigned k, std::uint32_t tag) {
        const Deferred value = patterns_[patternOf(tag)].value;
        Value made = Policy::make(value); // may run code changing the table
        if (i >= size_) throw GorvinUnexistentDartException{};
        if (deferredTag(i, k) != tag) return get(i, k);
        const Value old = set(i, k, made);
        const std::vector<Deferred> unused = takeUnusedPatterns();
        return made;
    }

    // Drops `darts` of the holders of a record.
    static void release(Record* record, std::size_t darts) {
        if (record && (record->refs -= darts) == 0) delete record;
    }

    // Records past records_ are kept as runs, each of darts sharing one record (null: made on
    // first use); run r covers the records from runs_[r].first up to the next run's first, or to
    // size_. Appending millions of darts writes nothing per dart; a record is written out, with
    // every record before it, when a value of its dart is made or replaced.
    struct Run {
        std::size_t first;
        Record* record;
    };

    void appendRun(std::size_t n, Record* record) {
        if (runs_.empty() && n < kShortRun)
            records_.append(n, record);
        else if (!runs_.empty() && record == nullptr && runs_.back().record == nullptr)
            ; // the last run goes on
        else
            runs_.push_back({size_, record});
        size_ += n;
    }

    const Record* recordAt(std::size_t i) const {
        if (i < records_.size()) return records_[i];
        if (i >= runs_.back().first) return runs_.back().record; // the newest darts, most read
        const auto after =
            std::upper_bound(runs_.begin(), runs_.end(), i,
                             [](std::size_t x, const Run& run) { return x < run.first; });
        return std::prev(after)->record;
    }
    Record* recordAt(std::size_t i) {
        return const_cast<Record*>(std::as_const(*this).recordAt(i));
    }

    // Record i's own entry in records_ (i < size_), the runs before it written out.
    Record*& ownSlot(std::size_t i) {
        while (records_.size() <= i) {
            const Run& run = runs_.front();
            const std::size_t end = runs_.size() > 1 ? runs_[1].first : size_;
            const std::size_t upTo = std::min(end, std::max(i + 1, records_.size() + kShortRun));
            records_.append(upTo - records_.size(), run.record);
            if (upTo == end)
                runs_.pop_front();
            else
                runs_.front().first = upTo;
        }
        return records_[i];
    }

    std::shared_ptr<const Descriptors> descriptors_;
    static constexpr std::size_t kShortRun = 1024;

    PodVector<Record*> records_;
    std::deque<Run> runs_;
    std::size_t size_ = 0;              // records_ and the runs
    PodVector<std::uint32_t> deferred_; // per record, tagOf(pattern, slot) or 0; may be shorter
    std::vector<Pattern> patterns_;
    std::vector<std::uint32_t> freePatterns_;
    std::vector<std::uint32_t> unusedPatterns_; // may hold patterns used again since
};

} // namespace gorvin
