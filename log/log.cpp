// The formatting operations every ILog shares.
#include "log/log.h"

#include "log/status_message.h"

namespace tellweir {

std::string FormatStatusMessage(int index, FormatArgs args) {
    const std::string_view pattern = StatusMessage(index);
    return pattern.empty() ? std::string() : FormatText(pattern, args);
}

void ILog::WriteFormatV(int level, std::string_view format, FormatArgs args) {
    Write(level, FormatText(format, args));
}

void ILog::WriteMessageV(int level, int index, FormatArgs args) {
    if (index < 0 || index >= kStatusMessageCount) return;
    Write(level, FormatStatusMessage(index, args));
}

}  // namespace tellweir
