// Whether a reply lets the client keep its connection for the next request.
#pragma once

#include <string_view>

namespace tellweir {

// True when the reply asks to close the connection: "Proxy-Connection:" is "close" (ignoring
// case); or it is absent or empty and "Connection:" is "close"; or "Keep-Alive:" contains
// "timeout=1 " (with its blank: a one-second timeout would expire before the next request).
bool ReplyAsksToClose(std::string_view block);

// Clears `connected` when the reply asks to close; otherwise leaves it as it is.
void UpdateKeepAlive(std::string_view block, bool& connected);

}  // namespace tellweir
