// The embedding table: one record of sixteen values per dart slot, parallel to the dart table.
// Records are reference counted and copied on write, so darts added together can share one record.
// A null record, or a null value in an unshared record, is created from the descriptors on first
// read; a shared record is always complete. Reads hand out the stored value itself. Making and
// releasing values may run code (finalizers) that changes the table, so neither happens while a
// position in the table is held.
#pragma once

#include "gorvin/core/embedding_descriptor.h"
#include "gorvin/core/exceptions.h"
#include "gorvin/core/pod_vector.h"
#include "gorvin/core/types.h"

#include <array>
#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

namespace gorvin {

template <class Value> class EmbeddingTable {
  public:
    using Descriptors = EmbeddingDescriptors<Value>;

    struct Record {
        std::array<Value, kSlots> slots;
        std::size_t refs = 1;
    };
    using RecordPtr = std::unique_ptr<Record>;

    explicit EmbeddingTable(std::shared_ptr<const Descriptors> descriptors)
        : descriptors_(std::move(descriptors)) {}
    EmbeddingTable(const EmbeddingTable&) = delete;
    EmbeddingTable& operator=(const EmbeddingTable&) = delete;
    ~EmbeddingTable() { truncate(0); }

    std::size_t size() const { return records_.size(); }
    void reserve(std::size_t n) { records_.reserve(n); }

    // n records whose values are made on first use, one set per dart.
    void appendFresh(std::size_t n) { records_.append(n, nullptr); }

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
        records_.append(n, shared.get());
        shared.release()->refs = n;
    }

    // Drops the records from n on. The table shrinks before they are released: releasing a value
    // may run code that uses this table.
    void truncate(std::size_t n) {
        if (n >= records_.size()) return;
        const std::vector<Record*> dropped(records_.begin() + n, records_.end());
        records_.resize(n);
        for (Record* record : dropped)
            release(record);
    }

    // The value of slot k of record i (k < kSlots, i < size()). Making a missing value may run code
    // that changes this table; GorvinUnexistentDartException when record i is gone by then.
    Value get(std::size_t i, unsigned k) {
        if (const Record* record = records_[i]; record && record->slots[k]) return record->slots[k];
        Value made = (*descriptors_)[k].defaultValue();
        if (i >= records_.size()) throw GorvinUnexistentDartException{};
        Record*& record = records_[i];
        if (!record) record = new Record{};
        Value& value = record->slots[k];
        if (!value) value = std::move(made);
        return value;
    }

    // The value of slot k of record i when it has been made, else nullptr; makes nothing.
    const Value* peek(std::size_t i, unsigned k) const {
        const Record* record = records_[i];
        return record && record->slots[k] ? &record->slots[k] : nullptr;
    }

    // Replaces slot k of record i (other darts sharing the record keep the old value) and returns
    // the old value: the caller releases it once it no longer works on the table.
    [[nodiscard]] Value set(std::size_t i, unsigned k, Value value) {
        Record*& record = records_[i];
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

    const Descriptors& descriptors() const { return *descriptors_; }

  private:
    static void release(Record* record) {
        if (record && --record->refs == 0) delete record;
    }

    std::shared_ptr<const Descriptors> descriptors_;
    PodVector<Record*> records_;
};

} // namespace gorvin
