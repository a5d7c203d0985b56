// Keeping the cookie a reply sets.
#pragma once

#include <string_view>

#include "base/date_time.h"
#include "net/cookie/cookie_store.h"
#include "store/property_set.h"

namespace tellweir {

// When the transfer has cookies enabled (bit 14 of property 0) and the reply has a non-empty
// "Set-Cookie:" header, hands its first value to `store` as set by `host` at `now`; the store
// files cookies by domain and path, one per key, so later Set-Cookie headers of the same reply
// are not taken. True when a cookie was stored.
bool CaptureCookie(const CPropertySet& transfer, std::string_view host, std::string_view block,
                   CCookieStore& store, DateTime now);

}  // namespace tellweir
