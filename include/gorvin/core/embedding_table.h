// The embedding table: one record of sixteen values per dart slot, parallel to the dart table.
// Records are reference counted and copied on write, so darts added together can share one record.
// A null record, or a null value in an unshared record, is created from the descriptors on first
// read; a shared record is always complete. Reads hand out the stored value itself.
#pragma once

#include "gorvin/core/embedding_descriptor.h"
#include "gorvin/core/types.h"

#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

namespace gorvin {

template <class Value> class EmbeddingTable {
  public:
    using Descriptors = EmbeddingDescriptors<Value>;

    explicit EmbeddingTable(std::shared_ptr<const Descriptors> descriptors)
        : descriptors_(std::move(descriptors)) {}
    EmbeddingTable(const EmbeddingTable&) = delete;
    EmbeddingTable& operator=(const EmbeddingTable&) = delete;
    ~EmbeddingTable() { truncate(0); }

    std::size_t size() const { return records_.size(); }
    void reserve(std::size_t n) { records_.reserve(n); }

    // n records whose values are made on first use, one set per dart.
    void appendFresh(std::size_t n) { records_.resize(records_.size() + n, nullptr); }

    // n records sharing one complete default record.
    void appendShared(std::size_t n) {
        if (n == 0) return;
        Record* shared = new Record{};
        try {
            for (unsigned k = 0; k < kSlots; ++k) shared->slots[k] = (*descriptors_)[k].defaultValue();
            records_.insert(records_.end(), n, shared);
        } catch (...) {
            delete shared;
            throw;
        }
        shared->refs = n;
    }

    void truncate(std::size_t n) {
        for (std::size_t i = n; i < records_.size(); ++i) release(records_[i]);
        if (n < records_.size()) records_.resize(n);
    }

    // The value of slot k of record i (k < kSlots, i < size()).
    const Value& get(std::size_t i, unsigned k) {
        Record*& record = records_[i];
        if (!record) record = new Record{};
        Value& value = record->slots[k];
        if (!value) value = (*descriptors_)[k].defaultValue();
        return value;
    }

    // Replaces slot k of record i; other darts sharing the record keep the old value.
    void set(std::size_t i, unsigned k, Value value) {
        Record*& record = records_[i];
        if (!record) {
            record = new Record{};
        } else if (record->refs > 1) {
            Record* own = new Record{record->slots, 1};
            --record->refs;
            record = own;
        }
        record->slots[k] = std::move(value);
    }

    const Descriptors& descriptors() const { return *descriptors_; }

  private:
    struct Record {
        std::array<Value, kSlots> slots;
        std::size_t refs = 1;
    };

    static void release(Record* record) {
        if (record && --record->refs == 0) delete record;
    }

    std::shared_ptr<const Descriptors> descriptors_;
    std::vector<Record*> records_;
};

} // namespace gorvin
