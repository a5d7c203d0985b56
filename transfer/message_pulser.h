// CMessagePulser: one thread that asks given views to refresh at given intervals, for windows
// that want to be poked while something of theirs is pending (the log view's delayed refresh).
// The thread exists only while there are entries.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "port/desktop_port.h"

namespace tellweir {

class CMessagePulser {
  public:
    CMessagePulser() = default;
    // Calls RemoveAll.
    ~CMessagePulser();
    CMessagePulser(const CMessagePulser&) = delete;
    CMessagePulser& operator=(const CMessagePulser&) = delete;

    // The pulser of the process, emptied by the application during its exit.
    static CMessagePulser& Instance();

    // Adds an entry that calls port->RefreshView(viewId) whenever more than `intervalMs` have
    // passed since its last call (counted from now), and starts the thread if needed. The call
    // comes on the pulser thread with the pulser's lock held, so that none comes after Remove
    // returns; a false result drops the entry. Returns the entry's id, or 0 without a port or
    // when the thread could not be started. The port must outlive the entry.
    std::int32_t Add(IDesktopPort* port, std::int32_t viewId, std::uint32_t intervalMs);
    // True when an entry with that id was removed.
    bool Remove(std::int32_t id);
    // Drops every entry and returns once the thread has ended; returns the number dropped.
    std::size_t RemoveAll();

    std::size_t GetEntryCount() const;
    bool IsRunning() const;

  private:
    struct Entry {
        IDesktopPort* port = nullptr;
        std::int32_t viewId = 0;
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
