// The handshake trace of the TLS client: names for the library's handshake states and the log
// line for each protocol message sent or received.
#pragma once

#include <string_view>

#include "log/log.h"

namespace tellweir {

// The client state name of an OpenSSL 3 handshake state (OSSL_HANDSHAKE_STATE) in the form the
// trace has always used, "SSLv3 SSL3_ST_CR_SRVR_HELLO_A"; states without a counterpart among
// the classic client states are "?". With `versionFlexible` (method 1) the hello states carry
// the version-flexible names ("SSLv23 SSL23_ST_CW_CLNT_HELLO_A").
std::string_view HandshakeStateName(int state, bool versionFlexible);

// True for the content types the trace reports; the library's pseudo types for record headers
// and inner content types are not protocol messages.
bool IsTracedContentType(int contentType);

// Writes the trace line of one message at level 0: "SSL handshake: state: %s %s." for change
// cipher spec and handshake messages, "SSL alert %s." for alerts, else "SSL: state: %s.".
void TraceMessage(ILog& log, bool sent, int contentType, std::string_view stateName);

}  // namespace tellweir
