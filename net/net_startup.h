// Start-up and shut-down of the network layer, called by the application at start and at exit.
#pragma once

namespace tellweir {

// With `enable`, once per process: starts the TLS library, then the socket layer (SIGPIPE is
// ignored process-wide, so a peer that closes never ends the process). A failure of either fails
// and nothing is marked started. Without `enable`, when started: shuts both down again.
// Thread-safe.
bool Startup(bool enable);

}  // namespace tellweir
