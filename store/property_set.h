// CPropertySet: the id-keyed typed value container that tasks, transfer requests, transfers and
// the settings are made of. Optionally guarded by its own re-entrant lock; carries a change stamp.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "store/property_value.h"

namespace tellweir {

using PropertyId = std::uint16_t;

class CPropertySet {
  public:
    enum class Locking { None, ThreadSafe };

    // Every set the system creates is sparse: zero, empty texts and empty bytes are not stored,
    // a missing property reads as zero or empty, and reads convert between kinds.
    explicit CPropertySet(Locking locking = Locking::None, bool sparse = true);
    CPropertySet(const CPropertySet& other);             // copies values, not the lock
    CPropertySet& operator=(const CPropertySet& other);  // replace all, as Merge does
    virtual ~CPropertySet();

    virtual bool Has(PropertyId id) const;
    virtual bool GetString(PropertyId id, std::string& out) const;
    virtual bool GetInt64(PropertyId id, std::int64_t& out) const;
    virtual bool GetInt(PropertyId id, std::int32_t& out) const;
    virtual bool TestBit(PropertyId id, int bit) const;
    // A copy of the stored bytes; empty unless the value is binary.
    virtual Bytes GetBytes(PropertyId id) const;
    // Copies min(size, stored count) bytes and sets size to the number copied; fails unless the
    // value is binary.
    virtual bool CopyBytes(PropertyId id, void* destination, std::uint32_t& size) const;
    virtual bool GetByteCount(PropertyId id, std::uint32_t& count) const;

    virtual void SetString(PropertyId id, std::string_view text);
    virtual void SetInt64(PropertyId id, std::int64_t value);
    virtual void SetInt(PropertyId id, std::int32_t value);
    virtual void SetBit(PropertyId id, int bit, bool on);
    virtual void SetBytes(PropertyId id, const void* bytes, std::uint32_t count);
    virtual void AddInt64(PropertyId id, std::int64_t value);
    virtual void AddInt(PropertyId id, std::int32_t value);
    virtual void Clear();
    virtual bool Remove(PropertyId id);
    virtual PropertyKind GetKind(PropertyId id) const;
    // Writes every int, int64, string and binary property into `other` through its setters.
    virtual void CopyTo(CPropertySet& other) const;

    using Filter = std::function<bool(PropertyId)>;
    // Copies the source's values (every kind) over this set's; with replaceAll this set is
    // emptied first and takes the source's sparse flag. Locks this set, then the source.
    void Merge(const CPropertySet& source, bool replaceAll, const Filter& filter = {});

    std::uint32_t GetStamp() const;
    bool IsSparse() const;
    bool IsThreadSafe() const { return lock_ != nullptr; }

    // Convenience reads that yield zero or empty when the read fails.
    std::int32_t Int(PropertyId id) const;
    std::int64_t Int64(PropertyId id) const;
    std::string String(PropertyId id) const;

    // Stores an arbitrary value (double and time included); for tests and loaders of other kinds.
    void SetValue(PropertyId id, PropertyValue value);
    std::optional<PropertyValue> GetValue(PropertyId id) const;
    // True while the set holds its value map (it is dropped with its last entry).
    bool HoldsMap() const;

  private:
    // Sorted by id, in one block: a task keeps a score of values for as long as it lives, and
    // a map would take a node of its own for each.
    using Map = std::vector<std::pair<PropertyId, PropertyValue>>;
    using Guard = std::unique_lock<std::recursive_mutex>;

    Guard Lock() const;
    const PropertyValue* Find(PropertyId id) const;
    // Stores `value` under the sparse rules and updates the stamp; caller holds the lock.
    void StoreLocked(PropertyId id, PropertyValue value);
    void EraseLocked(PropertyId id);
    // The value under `id`, added empty when there is none; caller holds the lock.
    PropertyValue& SlotLocked(PropertyId id);
    void Touch();

    template <class T, class Read>
    bool ReadAs(PropertyId id, T& out, Read read) const;

    bool sparse_;
    std::unique_ptr<Map> values_;
    std::unique_ptr<std::recursive_mutex> lock_;
    std::uint32_t stamp_ = 0;
};

}  // namespace tellweir
