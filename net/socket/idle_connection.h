// The test a protocol client runs before it reuses a kept connection for another transfer.
#pragma once

#include "net/socket/net_socket.h"

namespace tellweir {

// Whether the kept connection can carry another transfer. `connected` is the client's own mark;
// `control` is the connection it talks on and `data` its second one (FTP data), or null. A
// connection with something pending (typically the server's closing notice) is not usable. The
// sockets are closed whenever the answer is no. Owner thread only.
bool TestIdleConnection(bool connected, CNetSocket& control, CNetSocket* data);

}  // namespace tellweir
