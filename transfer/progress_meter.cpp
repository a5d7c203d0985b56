// The progress meter of a download or upload attempt.
#include "transfer/progress_meter.h"

#include "base/change_stamp.h"
#include "transfer/request_props.h"
#include "transfer/transfer.h"

namespace tellweir {

namespace {

constexpr std::uint32_t kReportIntervalMs = 100;
constexpr std::uint32_t kRefreshAfterMs = 1000;

std::int32_t ClampToInt32(std::int64_t value) {
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<std::int32_t>(value);
}

}  // namespace

ProgressFigures ComputeProgress(std::int64_t position, std::int64_t total,
                                std::uint32_t elapsedMs) {
    ProgressFigures figures;
    figures.speed = elapsedMs < 10 ? position : position * 1000 / elapsedMs;
    figures.elapsedSeconds = elapsedMs / 1000;
    if (position == total)
        figures.remaining = 0;
    else if (total >= position && figures.speed > 0)
        figures.remaining = (total - position) / figures.speed;
    return figures;
}

CProgressMeter::CProgressMeter(CTransfer& transfer, Direction direction, Clock clock)
    : transfer_(transfer), direction_(direction), clock_(std::move(clock)) {
    startTime_ = Now();
}

std::uint32_t CProgressMeter::Now() const {
    return clock_ ? clock_() : TickCountMs();
}

void CProgressMeter::Begin(std::int64_t startPosition, std::int64_t total) {
    std::lock_guard guard(lock_);
    startTime_ = Now();
    start_ = position_ = startPosition;
    total_ = total;
    lastReport_ = lastUpdate_ = startTime_;
    const bool download = direction_ == Direction::Download;
    transfer_.SetInt64(download ? prop::kAttemptReceived : prop::kAttemptSent, 0);
    transfer_.UpdateStatus([&](TransferStatus& status) {
        if (download) {
            status.done = startPosition;
            status.total = total;
        }
        status.speed = -1;
        status.elapsed = 0;
        status.remaining = -1;
    });
}

void CProgressMeter::Finish(std::int64_t position, std::int64_t total) {
    std::lock_guard guard(lock_);
    total_ = total;
    ReportLocked(position, Now());
}

void CProgressMeter::SetPosition(std::int64_t position) {
    std::lock_guard guard(lock_);
    const std::uint32_t now = Now();
    lastReport_ = now;
    if (now - lastUpdate_ < kReportIntervalMs) {
        position_ = position;
        return;
    }
    ReportLocked(position, now);
}

void CProgressMeter::SetTotal(std::int64_t total) {
    std::lock_guard guard(lock_);
    total_ = total;
}

void CProgressMeter::Advance(std::int64_t count) {
    std::int64_t position;
    {
        std::lock_guard guard(lock_);
        position = position_ + count;
    }
    SetPosition(position);
}

void CProgressMeter::OnPeriodicRefresh() {
    std::lock_guard guard(lock_);
    const std::uint32_t now = Now();
    if (now - lastReport_ < kRefreshAfterMs) return;
    ReportLocked(position_, now);
}

std::int64_t CProgressMeter::Position() const {
    std::lock_guard guard(lock_);
    return position_;
}

std::int64_t CProgressMeter::StartPosition() const {
    std::lock_guard guard(lock_);
    return start_;
}

void CProgressMeter::ReportLocked(std::int64_t position, std::uint32_t now) {
    position_ = position;
    lastUpdate_ = now;
    // Bytes of this attempt only: a resumed download must not count what was already there.
    const std::int64_t moved = position - start_;
    const ProgressFigures figures =
        ComputeProgress(moved, total_ < 0 ? -1 : total_ - start_, now - startTime_);
    const bool download = direction_ == Direction::Download;
    transfer_.SetInt64(download ? prop::kAttemptReceived : prop::kAttemptSent, moved);
    transfer_.UpdateStatus([&](TransferStatus& status) {
        if (download) {
            status.done = position;
            status.total = total_;
        }
        status.speed = ClampToInt32(figures.speed);
        status.elapsed = ClampToInt32(figures.elapsedSeconds);
        status.remaining = ClampToInt32(figures.remaining);
    });
}

}  // namespace tellweir
