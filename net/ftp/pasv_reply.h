// The address of a passive data connection, from the server's reply to PASV.
#pragma once

#include <string_view>

#include "net/socket/resolve.h"

namespace tellweir {

// Reads six numbers h1..h4, p1, p2 (each as scanf's "%i": a leading 0 means octal, 0x hex) from
// a PASV reply text: first in parentheses after other text, "227 Entering Passive Mode
// (10,0,0,1,4,1)"; failing that, after the reply's first four characters, from its last
// blank-separated word with the characters "\r\n\t]}).,; " stripped from its end and non-digits
// from both ends ("227 Passive =10,0,0,1,4,1"). The address is h1.h2.h3.h4 and the port
// p1 * 256 + p2. False when neither form gives six numbers, or a number is outside 0..255.
bool ParsePasvReply(std::string_view text, Ipv4Address& address, int& port);

}  // namespace tellweir
