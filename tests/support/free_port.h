// Picking a TCP port on 127.0.0.1 for a server that must be told its port in advance (a real
// server started from a configuration file).
#pragma once

namespace tellweir::testing {

// A port the system chose for 127.0.0.1 a moment ago and released again. Another process may take
// it before the caller does, so starters of real servers retry with a new port when the server
// does not come up (see StartServerOnFreePort).
int PickFreePort();

}  // namespace tellweir::testing
