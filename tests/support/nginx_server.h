// Starting nginx for a test in user mode (no daemon, no master process, every path inside the
// test's TempDir) on 127.0.0.1 and a free port, serving the folder "www" of that TempDir.
#pragma once

#include <string>

#include "tests/support/real_servers.h"
#include "tests/support/temp_dir.h"

namespace tellweir::testing {

struct NginxOptions {
    // Directives added inside the server block (locations, returns, gzip ...).
    std::string serverDirectives;
    // With a certificate the server speaks HTTPS only.
    const Certificate* certificate = nullptr;
    int workerConnections = 1024;
};

// The document root is dir / "www" (made when missing); the configuration, pid file, logs and
// temporary folders lie in `dir`. The server stops when `server` is destroyed.
bool StartNginx(RealServer& server, const TempDir& dir, const NginxOptions& options = {});

}  // namespace tellweir::testing
