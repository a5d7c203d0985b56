// The queue saver's thread: gathers requests, writes, reports failures.
#include "core/queue_saver.h"

#include <algorithm>
#include <utility>

namespace tellweir {

CQueueSaver::CQueueSaver(SaveFunction save, FailureFunction failed,
                         std::chrono::milliseconds gather)
    : save_(std::move(save)), failed_(std::move(failed)), gather_(gather) {}

CQueueSaver::~CQueueSaver() {
    End();
}

void CQueueSaver::Request() {
    std::lock_guard guard(lock_);
    if (ending_) return;
    ++asked_;
    if (!thread_.joinable()) {
        running_ = true;
        thread_ = std::thread([this] { Loop(); });
    }
    changed_.notify_all();
}

std::uint64_t CQueueSaver::Asked() const {
    std::lock_guard guard(lock_);
    return asked_;
}

void CQueueSaver::Written(std::uint64_t asked, TransferResult result) {
    std::lock_guard guard(lock_);
    if (asked >= written_) last_ = result;
    written_ = std::max(written_, asked);
    changed_.notify_all();
}

TransferResult CQueueSaver::Wait() {
    std::unique_lock guard(lock_);
    const std::uint64_t target = asked_;
    hurry_ = std::max(hurry_, target);
    changed_.notify_all();
    // Without a thread nothing that was asked for is left to write.
    changed_.wait(guard, [&] { return written_ >= target || !running_; });
    return last_;
}

void CQueueSaver::End() {
    std::thread thread;
    {
        std::lock_guard guard(lock_);
        ending_ = true;
        changed_.notify_all();
        thread = std::move(thread_);
    }
    if (thread.joinable()) thread.join();
}

void CQueueSaver::Loop() {
    std::unique_lock guard(lock_);
    for (;;) {
        changed_.wait(guard, [&] { return ending_ || asked_ > written_; });
        if (asked_ <= written_) {  // ending, and every request written
            running_ = false;
            changed_.notify_all();
            return;
        }
        // Requests that follow soon (a burst of commands) are written by the same save; a save
        // made elsewhere meanwhile may have covered them all.
        changed_.wait_for(guard, gather_,
                          [&] { return ending_ || hurry_ > written_ || asked_ <= written_; });
        if (asked_ <= written_) continue;
        const std::uint64_t asked = asked_;
        guard.unlock();
        // Read before the snapshot: the changes of every request up to `asked` are in it.
        const TransferResult result = save_();
        // Told before the save counts as written: whoever waited for it finds the failure said.
        if (result != result::kOk && failed_) failed_(result);
        guard.lock();
        if (asked >= written_) last_ = result;
        written_ = std::max(written_, asked);
        changed_.notify_all();
    }
}

}  // namespace tellweir
