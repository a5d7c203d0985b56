// Writing to an optional log sink: every connecting operation takes the transfer's ILog, which
// may be absent, and then nothing is written.
#pragma once

#include <string_view>

#include "log/log.h"
#include "log/status_message.h"

namespace tellweir {

// Raw traffic records (the item log's "sent" and "received" levels).
inline constexpr int kLogLevelSent = 2;
inline constexpr int kLogLevelReceived = 3;

template <class... Args>
void LogMessage(ILog* log, int level, int index, const Args&... args) {
    if (log != nullptr) log->WriteMessage(level, index, args...);
}

template <class... Args>
void LogFormat(ILog* log, int level, std::string_view format, const Args&... args) {
    if (log != nullptr) log->WriteFormat(level, format, args...);
}

inline void LogText(ILog* log, int level, std::string_view text) {
    if (log != nullptr) log->Write(level, text);
}

}  // namespace tellweir
