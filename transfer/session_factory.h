// The registration through which the protocol clients tell the transfer manager how to make
// their sessions, so that the transfer engine never depends on the network clients.
#pragma once

#include <functional>

#include "transfer/transfer_session.h"
#include "url/protocol.h"

namespace tellweir {

// Makes a session for the site; null when it cannot.
using SessionFactory = std::function<SessionPtr(const SessionParams& params)>;

// Installs (or, with an empty factory, removes) the factory of a protocol. Only HTTP, HTTPS and
// FTP transfers are placed on sessions; an FTP transfer through an http:// proxy gets an HTTP
// session that speaks to the proxy.
void RegisterSessionFactory(ProtocolId protocol, SessionFactory factory);
// The factory of a protocol, empty when none is registered.
SessionFactory FindSessionFactory(ProtocolId protocol);

}  // namespace tellweir
