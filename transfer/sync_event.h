// CSyncEvent: an auto- or manual-reset event for signalling between threads, and WaitAny, the
// wait on two events at once that the scheduler and the worker threads block in.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace tellweir {

class CSyncEvent {
  public:
    enum class Mode {
        AutoReset,    // a successful wait consumes the signal: one Set releases one waiter
        ManualReset,  // stays signalled, releasing every waiter, until Reset
    };

    // Passing kInfinite as a time-out waits without limit.
    static constexpr std::chrono::milliseconds kInfinite = std::chrono::milliseconds::max();

    explicit CSyncEvent(Mode mode, bool signalled = false);
    // No thread may still be waiting on the event.
    ~CSyncEvent();
    CSyncEvent(const CSyncEvent&) = delete;
    CSyncEvent& operator=(const CSyncEvent&) = delete;

    void Set();
    void Reset();
    // Whether the event is signalled now; never consumes the signal.
    bool IsSet() const;
    // True when the event was signalled within the time-out (an auto-reset event is then reset).
    bool Wait(std::chrono::milliseconds timeout = kInfinite);

  private:
    friend int WaitAny(CSyncEvent& first, CSyncEvent& second, std::chrono::milliseconds timeout);

    // A thread blocked in WaitAny; events it waits on wake it through this.
    struct Waiter {
        std::mutex mutex;
        std::condition_variable wake;
        bool notified = false;
    };

    bool TryConsume();
    void AddWaiter(Waiter* waiter);
    void RemoveWaiter(Waiter* waiter);

    const Mode mode_;
    // Lock order: an event's mutex, then a waiter's; WaitAny never holds both.
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool signalled_;
    std::vector<Waiter*> waiters_;
};

inline constexpr int kWaitTimedOut = -1;

// Waits until one of the two events is signalled or the time-out passes. Returns 0 for the first
// event, 1 for the second (the first wins when both are signalled) or kWaitTimedOut. Only the
// event returned has its auto-reset signal consumed.
int WaitAny(CSyncEvent& first, CSyncEvent& second,
            std::chrono::milliseconds timeout = CSyncEvent::kInfinite);

}  // namespace tellweir
