// CMessagePulser: one thread that posts given messages to given targets at given intervals, for
// windows that want to be poked while something of theirs is pending (the log view's delayed
// refresh). The thread exists only while there are entries.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace tellweir {

class CMessagePulser {
  public:
    // Posts the message with its parameters to the entry's target and returns true, or returns
    // false when the target no longer exists, which drops the entry. Called on the pulser thread
    // with the pulser's lock held, so that no post comes after Remove returns: it must only
    // queue the message, never block, and never call the pulser.
    using PostFunc =
        std::function<bool(std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam)>;

    CMessagePulser() = default;
    // Calls RemoveAll.
    ~CMessagePulser();
    CMessagePulser(const CMessagePulser&) = delete;
    CMessagePulser& operator=(const CMessagePulser&) = delete;

    // The pulser of the process, emptied by the application during its exit.
    static CMessagePulser& Instance();

    // Adds an entry posting `message` whenever more than `intervalMs` have passed since its last
    // post (counted from now), and starts the thread if needed. Returns the entry's id, or 0
    // without a post function or when the thread could not be started.
    std::int32_t Add(PostFunc post, std::uint32_t message, std::intptr_t lParam,
                     std::intptr_t wParam, std::uint32_t intervalMs);
    // True when an entry with that id was removed.
    bool Remove(std::int32_t id);
    // Drops every entry and returns once the thread has ended; returns the number dropped.
    std::size_t RemoveAll();

    std::size_t GetEntryCount() const;
    bool IsRunning() const;

  private:
    struct Entry {
        PostFunc post;  // stands for the target window
        std::uint32_t message = 0;
        std::intptr_t lParam = 0;
        std::intptr_t wParam = 0;
        std::uint32_t intervalMs = 0;
        std::uint32_t lastPost = 0;  // TickCountMs() of the last post
        std::int32_t id = 0;
    };

    void ThreadMain();
    void PostDueLocked();

    mutable std::mutex mutex_;
    bool running_ = false;
    std::condition_variable ended_;  // notified when the thread clears running_
    std::vector<Entry> entries_;
    // The current or last pulser thread; an ended one is joined by the next Add or RemoveAll.
    std::thread thread_;
};

}  // namespace tellweir
