// The HTTP request sample of the settings: the GET request a transfer would send with the given
// settings, built by the HTTP client's own request builder.
#pragma once

#include <string>

#include "store/property_set.h"

namespace tellweir {

// The request head for a sample page on a placeholder host, with a sample cookie and referrer,
// as the HTTP client builds it from `settings` (CR LF line ends).
std::string BuildHttpSample(const CPropertySet& settings);

}  // namespace tellweir
