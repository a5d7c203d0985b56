// The pulser thread: one pass over the entries every 50 ms, ending when none is left.
#include "transfer/message_pulser.h"

#include <algorithm>
#include <chrono>
#include <system_error>

#include "base/change_stamp.h"
#include "base/id_counter.h"
#include "transfer/thread_priority.h"

namespace tellweir {

namespace {

constexpr std::chrono::milliseconds kPassInterval{50};

}  // namespace

CMessagePulser::~CMessagePulser() {
    RemoveAll();
}

CMessagePulser& CMessagePulser::Instance() {
    static CMessagePulser pulser;
    return pulser;
}

std::int32_t CMessagePulser::Add(IDesktopPort* port, std::int32_t viewId,
                                 std::uint32_t intervalMs) {
    if (!port) return 0;
    std::lock_guard lock(mutex_);
    Entry entry;
    entry.port = port;
    entry.viewId = viewId;
    entry.intervalMs = intervalMs;
    entry.lastPost = TickCountMs();
    entry.id = PulserEntryIds().Next();
    entries_.push_back(entry);
    if (!running_) {
        // The previous thread cleared running_ and released the lock as its last steps, so
        // joining it here cannot wait for this lock.
        if (thread_.joinable()) thread_.join();
        try {
            thread_ = std::thread(&CMessagePulser::ThreadMain, this);
        } catch (const std::system_error&) {
            entries_.pop_back();
            return 0;
        }
        running_ = true;
    }
    return entries_.back().id;
}

bool CMessagePulser::Remove(std::int32_t id) {
    std::lock_guard lock(mutex_);
    return std::erase_if(entries_, [id](const Entry& entry) { return entry.id == id; }) > 0;
}

std::size_t CMessagePulser::RemoveAll() {
    std::thread ended;
    std::size_t dropped = 0;
    {
        std::unique_lock lock(mutex_);
        dropped = entries_.size();
        entries_.clear();
        ended_.wait(lock, [this] { return !running_; });
        ended = std::move(thread_);
    }
    if (ended.joinable()) ended.join();
    return dropped;
}

std::size_t CMessagePulser::GetEntryCount() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

bool CMessagePulser::IsRunning() const {
    std::lock_guard lock(mutex_);
    return running_;
}

void CMessagePulser::ThreadMain() {
    SetLowestThreadPriority();
    std::unique_lock lock(mutex_);
    for (;;) {
        PostDueLocked();
        if (entries_.empty()) break;
        lock.unlock();
        std::this_thread::sleep_for(kPassInterval);
        lock.lock();
    }
    running_ = false;
    ended_.notify_all();
}

void CMessagePulser::PostDueLocked() {
    const std::uint32_t now = TickCountMs();
    for (auto it = entries_.begin(); it != entries_.end();) {
        if (it->intervalMs < now - it->lastPost) {
            if (!it->port->RefreshView(it->viewId)) {
                it = entries_.erase(it);
                continue;
            }
            it->lastPost = now;
        }
        ++it;
    }
}

}  // namespace tellweir
