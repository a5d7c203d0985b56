// The Set-Cookie header of a reply into the cookie store.
#include "net/http/reply_cookie.h"

#include <string>

#include "net/http/header_lookup.h"
#include "transfer/request_props.h"

namespace tellweir {

bool CaptureCookie(const CPropertySet& transfer, std::string_view host, std::string_view block,
                   CCookieStore& store, DateTime now) {
    if (!transfer.TestBit(prop::kFlags, prop::kFlagCookies)) return false;
    const std::string value = FindFirstHeader(block, header::kSetCookie);
    return !value.empty() && store.AddFromHeader(value, host, now);
}

}  // namespace tellweir
