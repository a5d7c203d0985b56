// Auto- and manual-reset events over a mutex and condition variables, and the two-event wait.
#include "transfer/sync_event.h"

#include <algorithm>
#include <optional>

namespace tellweir {

namespace {

using Clock = std::chrono::steady_clock;

// Time-outs this long are waits without limit; also keeps the deadline from overflowing.
constexpr std::chrono::hours kUnboundedWait{24 * 365 * 100};

std::optional<Clock::time_point> DeadlineFor(std::chrono::milliseconds timeout) {
    if (timeout >= kUnboundedWait) return std::nullopt;
    return Clock::now() + std::max(timeout, std::chrono::milliseconds(0));
}

}  // namespace

CSyncEvent::CSyncEvent(Mode mode, bool signalled) : mode_(mode), signalled_(signalled) {}

CSyncEvent::~CSyncEvent() = default;

void CSyncEvent::Set() {
    std::lock_guard lock(mutex_);
    signalled_ = true;
    changed_.notify_all();
    for (Waiter* waiter : waiters_) {
        std::lock_guard waiterLock(waiter->mutex);
        waiter->notified = true;
        waiter->wake.notify_one();
    }
}

void CSyncEvent::Reset() {
    std::lock_guard lock(mutex_);
    signalled_ = false;
}

bool CSyncEvent::IsSet() const {
    std::lock_guard lock(mutex_);
    return signalled_;
}

bool CSyncEvent::Wait(std::chrono::milliseconds timeout) {
    const auto deadline = DeadlineFor(timeout);
    std::unique_lock lock(mutex_);
    const auto isSignalled = [this] { return signalled_; };
    if (deadline) {
        if (!changed_.wait_until(lock, *deadline, isSignalled)) return false;
    } else {
        changed_.wait(lock, isSignalled);
    }
    if (mode_ == Mode::AutoReset) signalled_ = false;
    return true;
}

bool CSyncEvent::TryConsume() {
    std::lock_guard lock(mutex_);
    if (!signalled_) return false;
    if (mode_ == Mode::AutoReset) signalled_ = false;
    return true;
}

void CSyncEvent::AddWaiter(Waiter* waiter) {
    std::lock_guard lock(mutex_);
    waiters_.push_back(waiter);
}

void CSyncEvent::RemoveWaiter(Waiter* waiter) {
    std::lock_guard lock(mutex_);
    std::erase(waiters_, waiter);
}

int WaitAny(CSyncEvent& first, CSyncEvent& second, std::chrono::milliseconds timeout) {
    const auto deadline = DeadlineFor(timeout);
    CSyncEvent::Waiter waiter;
    first.AddWaiter(&waiter);
    second.AddWaiter(&waiter);
    int which = kWaitTimedOut;
    for (;;) {
        // Cleared before the events are tested, so a Set landing between the test and the wait
        // below is not lost.
        {
            std::lock_guard lock(waiter.mutex);
            waiter.notified = false;
        }
        if (first.TryConsume()) {
            which = 0;
            break;
        }
        if (second.TryConsume()) {
            which = 1;
            break;
        }
        std::unique_lock lock(waiter.mutex);
        const auto isNotified = [&waiter] { return waiter.notified; };
        if (!deadline) {
            waiter.wake.wait(lock, isNotified);
        } else if (!waiter.wake.wait_until(lock, *deadline, isNotified)) {
            break;
        }
    }
    first.RemoveWaiter(&waiter);
    second.RemoveWaiter(&waiter);
    return which;
}

}  // namespace tellweir
