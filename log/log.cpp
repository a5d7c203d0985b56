// The formatting operations every ILog shares.
#include "log/log.h"

#include "log/error_words.h"
#include "log/status_message.h"

namespace tellweir {

namespace {

// The messages whose number in parentheses is a socket error, and which argument carries it.
struct SocketErrorMessage {
    int index;
    std::size_t argument;
};

constexpr SocketErrorMessage kSocketErrorMessages[] = {
    {msg::kCannotSocket, 0},      {msg::kCannotConnect, 2},  {msg::kProxyFailed, 2},
    {msg::kControlClosedCode, 0}, {msg::kDataClosedCode, 0},
};

// "(error: 10061)." becomes "(error: 10061, connection refused).": the template's text and
// number stay as they are, and the words join them inside the parentheses.
void AppendSocketErrorWords(int index, FormatArgs args, std::string& text) {
    for (const SocketErrorMessage& message : kSocketErrorMessages) {
        if (message.index != index) continue;
        if (message.argument >= args.size()) return;
        const std::string_view words =
            SocketErrorWords(static_cast<TransferResult>(args[message.argument].AsInt()));
        const std::size_t close = text.rfind(')');
        if (!words.empty() && close != std::string::npos)
            text.insert(close, ", " + std::string(words));
        return;
    }
}

}  // namespace

std::string FormatStatusMessage(int index, FormatArgs args) {
    const std::string_view pattern = StatusMessage(index);
    if (pattern.empty()) return {};
    std::string text = FormatText(pattern, args);
    AppendSocketErrorWords(index, args, text);
    return text;
}

void ILog::WriteFormatV(int level, std::string_view format, FormatArgs args) {
    Write(level, FormatText(format, args));
}

void ILog::WriteMessageV(int level, int index, FormatArgs args) {
    if (index < 0 || index >= kStatusMessageCount) return;
    Write(level, FormatStatusMessage(index, args));
}

}  // namespace tellweir
