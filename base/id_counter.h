// Process-wide id counters: every transfer, scheduler task, prompt request and pulser entry gets
// an id no other object of its kind has had in this process.
#pragma once

#include <atomic>
#include <cstdint>

namespace tellweir {

class CIdCounter {
  public:
    explicit constexpr CIdCounter(std::int32_t first) : next_(first) {}
    std::int32_t Next() { return next_.fetch_add(1, std::memory_order_relaxed); }

  private:
    std::atomic<std::int32_t> next_;
};

CIdCounter& TransferIds();       // from 100
CIdCounter& SchedulerTaskIds();  // from 1
CIdCounter& PromptRequestIds();  // from 500
CIdCounter& PulserEntryIds();    // from 500

}  // namespace tellweir
