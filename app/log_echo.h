// CLogEcho: copies every entry written to the watched item logs onto a stream as it is written,
// one line per log line, prefixed with "[<name>] " — how the program without windows shows what
// its tasks and its engine do.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>

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

    // Called by a watched log, with its lock held.
    void LogChanged(std::int32_t logId) override;

  private:
    struct Slot {
        ItemLogPtr log;
        std::string prefix;
        std::uint64_t printed = 0;  // lines ever written that are already echoed
    };
    void EchoNewLines(Slot& slot);

    std::FILE* out_;
    std::mutex outLock_;  // taken inside a log's lock: serialises the echo of several logs
    // Taken inside a log's lock too, and never held around a call of a log.
    std::mutex slotsLock_;
    std::map<std::int32_t, Slot> slots_;  // by log id; a node stays put while watched
};

}  // namespace tellweir
