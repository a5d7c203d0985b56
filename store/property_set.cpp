// CPropertySet operations: sparse storage, conversions on read, the re-entrant lock and stamps.
#include "store/property_set.h"

#include <algorithm>
#include <cstring>

#include "base/change_stamp.h"

namespace tellweir {

CPropertySet::CPropertySet(Locking locking, bool sparse) : sparse_(sparse) {
    if (locking == Locking::ThreadSafe) lock_ = std::make_unique<std::recursive_mutex>();
}

CPropertySet::CPropertySet(const CPropertySet& other) : sparse_(true) {
    if (other.lock_) lock_ = std::make_unique<std::recursive_mutex>();
    Merge(other, true);
}

CPropertySet& CPropertySet::operator=(const CPropertySet& other) {
    if (this != &other) Merge(other, true);
    return *this;
}

CPropertySet::~CPropertySet() = default;

CPropertySet::Guard CPropertySet::Lock() const {
    return lock_ ? Guard(*lock_) : Guard();
}

namespace {

template <class Entries>
auto FirstNotBefore(Entries& entries, PropertyId id) {
    return std::lower_bound(entries.begin(), entries.end(), id,
                            [](const auto& entry, PropertyId key) { return entry.first < key; });
}

}  // namespace

const PropertyValue* CPropertySet::Find(PropertyId id) const {
    if (!values_) return nullptr;
    const auto it = FirstNotBefore(*values_, id);
    return it == values_->end() || it->first != id ? nullptr : &it->second;
}

PropertyValue& CPropertySet::SlotLocked(PropertyId id) {
    if (!values_) values_ = std::make_unique<Map>();
    Map& entries = *values_;
    auto it = FirstNotBefore(entries, id);
    if (it != entries.end() && it->first == id) return it->second;
    if (entries.size() == entries.capacity()) {
        // A quarter more rather than twice as much: most sets stop growing after a few dozen
        // values and keep them for long, so the slack would stay for good.
        const auto at = it - entries.begin();
        entries.reserve(entries.size() + std::max<std::size_t>(4, entries.size() / 4));
        it = entries.begin() + at;
    }
    it = entries.emplace(it);
    it->first = id;
    return it->second;
}

void CPropertySet::Touch() {
    stamp_ = NextChangeStamp(stamp_);
}

void CPropertySet::EraseLocked(PropertyId id) {
    if (!values_) return;
    const auto it = FirstNotBefore(*values_, id);
    if (it != values_->end() && it->first == id) values_->erase(it);
    if (values_->empty()) values_.reset();
}

void CPropertySet::StoreLocked(PropertyId id, PropertyValue value) {
    if (sparse_ && value.IsSparseZero()) {
        EraseLocked(id);
    } else {
        SlotLocked(id) = std::move(value);
    }
    Touch();
}

template <class T, class Read>
bool CPropertySet::ReadAs(PropertyId id, T& out, Read read) const {
    Guard g = Lock();
    out = T{};
    const PropertyValue* v = Find(id);
    if (!v) return sparse_;
    auto converted = read(*v, sparse_);
    if (!converted) return false;
    out = std::move(*converted);
    return true;
}

bool CPropertySet::Has(PropertyId id) const {
    Guard g = Lock();
    return Find(id) != nullptr;
}

bool CPropertySet::GetString(PropertyId id, std::string& out) const {
    return ReadAs(id, out, [](const PropertyValue& v, bool conv) { return v.ReadString(conv); });
}

bool CPropertySet::GetInt64(PropertyId id, std::int64_t& out) const {
    return ReadAs(id, out, [](const PropertyValue& v, bool conv) { return v.ReadInt64(conv); });
}

bool CPropertySet::GetInt(PropertyId id, std::int32_t& out) const {
    return ReadAs(id, out, [](const PropertyValue& v, bool conv) { return v.ReadInt(conv); });
}

bool CPropertySet::TestBit(PropertyId id, int bit) const {
    if (bit < 0 || bit > 31) return false;
    Guard g = Lock();
    std::int32_t v = 0;
    GetInt(id, v);
    return (static_cast<std::uint32_t>(v) >> bit) & 1u;
}

Bytes CPropertySet::GetBytes(PropertyId id) const {
    Guard g = Lock();
    const PropertyValue* v = Find(id);
    const Bytes* b = v ? v->bytes() : nullptr;
    return b ? *b : Bytes{};
}

bool CPropertySet::CopyBytes(PropertyId id, void* destination, std::uint32_t& size) const {
    Guard g = Lock();
    const PropertyValue* v = Find(id);
    const Bytes* b = v ? v->bytes() : nullptr;
    if (!b) {
        size = 0;
        return false;
    }
    size = std::min<std::uint32_t>(size, static_cast<std::uint32_t>(b->size()));
    if (size) std::memcpy(destination, b->data(), size);
    return true;
}

bool CPropertySet::GetByteCount(PropertyId id, std::uint32_t& count) const {
    Guard g = Lock();
    count = 0;
    const PropertyValue* v = Find(id);
    if (!v) return sparse_;
    const Bytes* b = v->bytes();
    if (!b) return false;
    count = static_cast<std::uint32_t>(b->size());
    return true;
}

void CPropertySet::SetString(PropertyId id, std::string_view text) {
    Guard g = Lock();
    StoreLocked(id, PropertyValue::String(std::string(text)));
}

void CPropertySet::SetInt64(PropertyId id, std::int64_t value) {
    Guard g = Lock();
    StoreLocked(id, PropertyValue::Int64(value));
}

void CPropertySet::SetInt(PropertyId id, std::int32_t value) {
    Guard g = Lock();
    StoreLocked(id, PropertyValue::Int(value));
}

void CPropertySet::SetBit(PropertyId id, int bit, bool on) {
    if (bit < 0 || bit > 31) return;
    Guard g = Lock();
    std::int32_t v = 0;
    GetInt(id, v);
    auto bits = static_cast<std::uint32_t>(v);
    bits = on ? bits | (1u << bit) : bits & ~(1u << bit);
    SetInt(id, static_cast<std::int32_t>(bits));
}

void CPropertySet::SetBytes(PropertyId id, const void* bytes, std::uint32_t count) {
    Guard g = Lock();
    Bytes copy;
    if (bytes && count) {
        const auto* p = static_cast<const std::uint8_t*>(bytes);
        copy.assign(p, p + count);
    }
    StoreLocked(id, PropertyValue::Binary(std::move(copy)));
}

// Adding zero leaves the value as it is (an AddInt of 0 does not remove the property, unlike a
// SetInt of 0): the callers add byte and count increments, which may well be 0.
void CPropertySet::AddInt64(PropertyId id, std::int64_t value) {
    Guard g = Lock();
    const PropertyValue* v = Find(id);
    if (value == 0 && v) {
        Touch();
        return;
    }
    StoreLocked(id, (v ? *v : PropertyValue::Int(0)).Plus(value, true));
}

void CPropertySet::AddInt(PropertyId id, std::int32_t value) {
    Guard g = Lock();
    const PropertyValue* v = Find(id);
    if (value == 0 && v) {
        Touch();
        return;
    }
    StoreLocked(id, (v ? *v : PropertyValue::Int(0)).Plus(value, false));
}

void CPropertySet::Clear() {
    Guard g = Lock();
    values_.reset();
    Touch();
}

bool CPropertySet::Remove(PropertyId id) {
    Guard g = Lock();
    if (!Find(id)) return false;
    EraseLocked(id);
    Touch();
    return true;
}

PropertyKind CPropertySet::GetKind(PropertyId id) const {
    Guard g = Lock();
    const PropertyValue* v = Find(id);
    return v ? v->kind() : PropertyKind::Empty;
}

void CPropertySet::CopyTo(CPropertySet& other) const {
    Guard g = Lock();
    if (!values_ || &other == this) return;
    for (const auto& [id, v] : *values_) {
        switch (v.kind()) {
            case PropertyKind::Int:
                other.SetInt(id, *v.get_if<std::int32_t>());
                break;
            case PropertyKind::Int64:
                other.SetInt64(id, *v.get_if<std::int64_t>());
                break;
            case PropertyKind::String:
                other.SetString(id, *v.get_if<std::string>());
                break;
            case PropertyKind::Binary: {
                const Bytes& b = *v.bytes();
                other.SetBytes(id, b.data(), static_cast<std::uint32_t>(b.size()));
                break;
            }
            default:
                break;  // double and time values are not copied
        }
    }
}

void CPropertySet::Merge(const CPropertySet& source, bool replaceAll, const Filter& filter) {
    Guard mine = Lock();
    Guard theirs = &source == this ? Guard() : source.Lock();
    if (replaceAll) sparse_ = source.sparse_;
    if (source.values_ && &source != this) {
        if (replaceAll) values_.reset();
        for (const auto& [id, v] : *source.values_) {
            if (filter && !filter(id)) continue;
            if (!values_) {
                values_ = std::make_unique<Map>();
                values_->reserve(source.values_->size());
            }
            SlotLocked(id) = v;
        }
    } else if (!source.values_ && replaceAll) {
        values_.reset();
    }
    Touch();
}

std::uint32_t CPropertySet::GetStamp() const {
    Guard g = Lock();
    return stamp_;
}

bool CPropertySet::IsSparse() const {
    Guard g = Lock();
    return sparse_;
}

std::int32_t CPropertySet::Int(PropertyId id) const {
    std::int32_t v = 0;
    GetInt(id, v);
    return v;
}

std::int64_t CPropertySet::Int64(PropertyId id) const {
    std::int64_t v = 0;
    GetInt64(id, v);
    return v;
}

std::string CPropertySet::String(PropertyId id) const {
    std::string v;
    GetString(id, v);
    return v;
}

void CPropertySet::SetValue(PropertyId id, PropertyValue value) {
    Guard g = Lock();
    if (value.kind() == PropertyKind::Empty) {
        EraseLocked(id);
        Touch();
        return;
    }
    SlotLocked(id) = std::move(value);
    Touch();
}

std::optional<PropertyValue> CPropertySet::GetValue(PropertyId id) const {
    Guard g = Lock();
    const PropertyValue* v = Find(id);
    if (!v) return std::nullopt;
    return *v;
}

bool CPropertySet::HoldsMap() const {
    Guard g = Lock();
    return values_ != nullptr;
}

}  // namespace tellweir
