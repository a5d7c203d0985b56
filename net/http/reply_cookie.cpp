// The Set-Cookie headers of a reply into the cookie store.
#include "net/http/reply_cookie.h"

#include <string>

#include "net/http/header_lookup.h"
#include "net/http/http_request.h"
#include "transfer/request_props.h"

namespace tellweir {

bool CaptureCookie(const CPropertySet& transfer, std::string_view host, std::string_view block,
                   CCookieStore& store, DateTime now) {
    if (!transfer.TestBit(prop::kFlags, prop::kFlagCookies)) return false;
    const std::string path = RequestPath(transfer);
    bool taken = false;
    for (const std::string& value : FindHeader(block, header::kSetCookie)) {
        if (!value.empty() && store.AddFromHeader(value, host, path, now)) taken = true;
    }
    return taken;
}

}  // namespace tellweir
