// CLogRegistry: id allocation and lookup of item logs.
#include "log/log_registry.h"

namespace tellweir {

CLogRegistry& CLogRegistry::Instance() {
    static CLogRegistry registry;
    return registry;
}

void CLogRegistry::SkipUsedIdsLocked() {
    while (logs_.contains(nextId_))
        ++nextId_;
}

std::int32_t CLogRegistry::CreateLog() {
    std::lock_guard g(lock_);
    SkipUsedIdsLocked();
    const std::int32_t id = nextId_;
    logs_.emplace(id, MakeRef<CItemLog>(id));
    SkipUsedIdsLocked();
    return id;
}

ItemLogPtr CLogRegistry::GetLog(std::int32_t id) {
    if (id == 0 || id == -1) return nullptr;
    std::lock_guard g(lock_);
    auto it = logs_.find(id);
    if (it == logs_.end()) {
        it = logs_.emplace(id, MakeRef<CItemLog>(id)).first;
        if (id == nextId_) SkipUsedIdsLocked();
    }
    return it->second;
}

int CLogRegistry::DeleteLog(std::int32_t id) {
    ItemLogPtr released;  // released after the lock, in case it was the last reference
    std::lock_guard g(lock_);
    auto it = logs_.find(id);
    if (it == logs_.end()) return 0;
    released = std::move(it->second);
    logs_.erase(it);
    return 1;
}

std::size_t CLogRegistry::Count() {
    std::lock_guard g(lock_);
    return logs_.size();
}

}  // namespace tellweir
