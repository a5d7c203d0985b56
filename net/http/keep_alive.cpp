// The keep-alive rule of replies.
#include "net/http/keep_alive.h"

#include <string>

#include "base/ascii_text.h"
#include "net/http/header_lookup.h"

namespace tellweir {

bool ReplyAsksToClose(std::string_view block) {
    const std::string proxy = FindFirstHeader(block, header::kProxyConnection);
    if (EqualsIgnoreAsciiCase(proxy, "close")) return true;
    if (proxy.empty() &&
        EqualsIgnoreAsciiCase(FindFirstHeader(block, header::kConnection), "close"))
        return true;
    return FindFirstHeader(block, header::kKeepAlive).find("timeout=1 ") != std::string::npos;
}

void UpdateKeepAlive(std::string_view block, bool& connected) {
    if (ReplyAsksToClose(block)) connected = false;
}

}  // namespace tellweir
