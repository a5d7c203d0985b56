// ILogObserver: what an item log tells whoever watches it (a log view, the echo of the program
// without windows) after each change.
#pragma once

#include <cstdint>

namespace tellweir {

class ILogObserver {
  public:
    // Called after every change of a log that the observer was added to, on the thread that
    // changed the log and with that log's lock held: it may read the log, but must not wait for
    // a thread that may be writing to it, and must not add or remove observers.
    virtual void LogChanged(std::int32_t logId) = 0;

  protected:
    ~ILogObserver() = default;
};

}  // namespace tellweir
