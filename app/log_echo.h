// CLogEcho: copies every entry written to the watched item logs onto a stream as it is written,
// one line per log line, prefixed with "[<name>] " — how the program without windows shows what
// its tasks and its engine do.
#pragma once

#include <cstdint>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>

#include "log/item_log.h"

namespace tellweir {

class CLogEcho {
  public:
    explicit CLogEcho(std::FILE* out);
    ~CLogEcho();  // stops watching every log
    CLogEcho(const CLogEcho&) = delete;
    CLogEcho& operator=(const CLogEcho&) = delete;

    // Echoes the lines of `log`, those already there and every one written later, prefixed
    // with "[name] " (no prefix for an empty name).
    void Watch(const ItemLogPtr& log, std::string name);

  private:
    struct Slot {
        ItemLogPtr log;
        std::string prefix;
        std::uint64_t printed = 0;  // lines ever written that are already echoed
    };
    // The listener of every watched log: called with that log's lock held.
    static void OnLogChanged(std::int32_t value);
    void EchoNewLines(Slot& slot);

    std::FILE* out_;
    std::mutex outLock_;      // taken inside a log's lock: serialises the echo of several logs
    std::deque<Slot> slots_;  // stable addresses for the listeners
    std::deque<std::int32_t> values_;  // the listener value of each slot
};

}  // namespace tellweir
