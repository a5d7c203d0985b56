// The values the FTP client takes from single replies: the argument after the code, the size
// from SIZE, the time from MDTM, and a reply as the transfer's status line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/civil_time.h"

namespace tellweir {

// The reply text after its first four characters ("213 "), trimmed.
std::string_view FtpReplyValue(std::string_view replyText);

// The size of a SIZE reply: its value as a decimal; -1 (unknown) when empty, unreadable,
// negative or beyond 64 bits.
std::int64_t ParseFtpSize(std::string_view replyText);

// The time of an MDTM value (FtpReplyValue of the reply), as the server gave it: everything up
// to and including a first blank after the first character is dropped, and everything from a
// first '.' after the first character; the rest, trimmed, must be exactly 14 digits
// YYYYMMDDHHMMSS of a valid date ("20040305120000.123" is 5 March 2004, 12:00:00).
bool ParseMdtmTime(std::string_view value, CivilTime& time);

// A reply as the transfer's status line: trimmed at its end; of a reply of several lines what
// follows the first line; then trimmed at its start.
std::string FtpStatusLineProperty(std::string_view replyText);

}  // namespace tellweir
