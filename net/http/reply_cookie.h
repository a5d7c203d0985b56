// Keeping the cookies a reply sets.
#pragma once

#include <string_view>

#include "base/date_time.h"
#include "net/cookie/cookie_store.h"
#include "store/property_set.h"

namespace tellweir {

// When the transfer has cookies enabled (bit 14 of property 0), hands every non-empty
// "Set-Cookie:" value of the reply to `store`, in order, as set by `host` at `now` for the path
// the transfer asked for (RequestPath). True when the store took any of them.
bool CaptureCookie(const CPropertySet& transfer, std::string_view host, std::string_view block,
                   CCookieStore& store, DateTime now);

}  // namespace tellweir
