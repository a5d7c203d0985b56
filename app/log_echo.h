// CLogEcho: copies every entry written to the watched item logs onto a stream as it is written,
// one line per log line, prefixed with "[<name>] " — how the program without windows shows what
// its tasks and its engine do.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "log/item_log.h"

namespace tellweir {

class CLogEcho final : public ILogObserver {
  public:
    explicit CLogEcho(std::FILE* out);
    ~CLogEcho();  // stops watching every log
    CLogEcho(const CLogEcho&) = delete;
    CLogEcho& operator=(const CLogEcho&) = delete;

    // Echoes the lines of `log`, those already there and every one written later, prefixed
    // with "[name] " (no prefix for an empty name). Logs are told apart by their ids: a second
    // log with the id of a watched one is not watched.
    void Watch(const ItemLogPtr& log, std::string name);
    // Watches each log as Watch does, with one flush of the stream for them all: the lines of a
    // long task list reach the stream in large writes.
    void WatchAll(const std::vector<std::pair<ItemLogPtr, std::string>>& logs);

    // Called by a watched log, with its lock held.
    void LogChanged(std::int32_t logId) override;

  private:
    struct Slot {
        ItemLogPtr log;
        std::string prefix;
        std::uint64_t echoed = 0;  // bytes ever written whose lines are already echoed
    };
    // Echoes the complete lines not yet echoed; with `flush` the stream is flushed after them.
    void EchoNewLines(Slot& slot, bool flush = true);
    // Adds a slot for `log`; null when it is null or already watched.
    Slot* AddSlot(const ItemLogPtr& log, std::string name);

    std::FILE* out_;
    std::mutex outLock_;  // taken inside a log's lock: serialises the echo of several logs
    // Taken inside a log's lock too, and never held around a call of a log.
    std::mutex slotsLock_;
    std::map<std::int32_t, Slot> slots_;  // by log id; a node stays put while watched
};

}  // namespace tellweir
