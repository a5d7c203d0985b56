// CProgressMeter: follows one download or upload attempt and turns its positions into the
// transfer's done, total, speed, elapsed and remaining figures.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>

#include "transfer/periodic_hook.h"

namespace tellweir {

class CTransfer;

class CProgressMeter final : public IPeriodicHook {
  public:
    enum class Direction { Upload = 0, Download = 1 };
    // Process milliseconds; injectable so tests control the passing of time.
    using Clock = std::function<std::uint32_t()>;

    CProgressMeter(CTransfer& transfer, Direction direction, Clock clock = {});
    CProgressMeter(const CProgressMeter&) = delete;
    CProgressMeter& operator=(const CProgressMeter&) = delete;

    void Begin(std::int64_t startPosition, std::int64_t total);
    void Finish(std::int64_t position, std::int64_t total);
    // A position report: taken into the status at most once per 100 ms.
    void SetPosition(std::int64_t position);
    void SetTotal(std::int64_t total);
    void Advance(std::int64_t count);
    // Called by the pump once a second: repeats the last position when none came for a second,
    // so speed and remaining follow the passing time.
    void OnPeriodicRefresh() override;

    std::int64_t Position() const;
    std::int64_t StartPosition() const;

  private:
    // Writes the figures of `position` into the transfer; caller holds lock_.
    void ReportLocked(std::int64_t position, std::uint32_t now);
    std::uint32_t Now() const;

    CTransfer& transfer_;
    const Direction direction_;
    const Clock clock_;
    mutable std::mutex lock_;
    std::uint32_t startTime_ = 0;
    std::int64_t total_ = -1;
    std::int64_t position_ = 0;
    std::int64_t start_ = 0;
    std::uint32_t lastReport_ = 0;  // time of the last position report
    std::uint32_t lastUpdate_ = 0;  // time of the last status update
};

// The figures for position P of total T after E milliseconds: speed in bytes per second (P when
// E < 10), remaining seconds (0 at the end, -1 unknown).
struct ProgressFigures {
    std::int64_t speed = -1;
    std::int64_t elapsedSeconds = 0;
    std::int64_t remaining = -1;
};
ProgressFigures ComputeProgress(std::int64_t position, std::int64_t total, std::uint32_t elapsedMs);

}  // namespace tellweir
