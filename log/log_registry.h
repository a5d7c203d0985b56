// CLogRegistry: the process-wide table that creates, finds and deletes item logs by id.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>

#include "log/item_log.h"

namespace tellweir {

class CLogRegistry {
  public:
    CLogRegistry() = default;
    ~CLogRegistry() = default;  // releases the registry's reference to every log
    CLogRegistry(const CLogRegistry&) = delete;
    CLogRegistry& operator=(const CLogRegistry&) = delete;

    // The registry of the process, created on first use.
    static CLogRegistry& Instance();

    // Makes a new log under the next free id and returns the id.
    std::int32_t CreateLog();
    // The log with this id, with a reference for the caller; an id not in the table gets a new,
    // empty log. Null for the ids 0 and -1.
    ItemLogPtr GetLog(std::int32_t id);
    // Drops the registry's reference to the log; 1 when the id was in the table, else 0.
    int DeleteLog(std::int32_t id);
    // How many logs the table holds.
    std::size_t Count();

  private:
    void SkipUsedIdsLocked();

    std::mutex lock_;
    std::map<std::int32_t, ItemLogPtr> logs_;
    std::int32_t nextId_ = 1;
};

}  // namespace tellweir
