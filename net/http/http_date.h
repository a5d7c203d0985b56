// The date texts of HTTP replies (Last-Modified), including the Russian forms some servers send.
#pragma once

#include <string_view>

#include "base/civil_time.h"

namespace tellweir {

// Reads an HTTP date as the server wrote it (GMT, no zone conversion). The text is trimmed, its
// first "GMT" removed, the first Russian genitive month name found (января ... декабря, in that
// order, in Windows-1251 or UTF-8) replaced by its English abbreviation and every "г." removed;
// then the general date parser reads it, two-digit years widened (RFC 1123, RFC 850 and asctime
// dates with or without their weekday). Failing that, "D.M.Y H:M" is read as scanf's
// "%d.%d.%d %d:%d" would, the first number being the month when the second exceeds 12 and the
// first does not; seconds are 0. False for an empty text or an invalid date.
bool ParseHttpDate(std::string_view text, CivilTime& out);

}  // namespace tellweir
