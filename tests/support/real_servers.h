// Starting the real servers the protocol tests talk to, on 127.0.0.1 and ports of their own, with
// configurations written into a test's TempDir: tinyproxy (HTTP proxy with CONNECT), microsocks
// (SOCKS5), dante (SOCKS4 and SOCKS5) and `openssl s_server` (TLS), plus self-signed
// certificates made with `openssl req`. A missing program makes the starter fail with a message
// that says so; the servers stop when their RealServer is destroyed.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace tellweir::testing {

struct RealServer {
    ChildProcess process;
    int port = 0;
    std::string error;  // why it did not start; empty while it runs
};

using ArgvForPort = std::function<std::vector<std::string>(int port)>;

// Picks a free port, starts the program `argv(port)` gives, and waits until the port accepts;
// when the server does not come up (another process may have taken the port) it tries twice more
// with new ports. The server's output goes to `outputPath`.
bool StartServerOnFreePort(RealServer& server, const ArgvForPort& argv,
                           const std::string& outputPath);

// An HTTP proxy that also tunnels CONNECT requests to `connectPort` (0: to any port).
bool StartTinyproxy(RealServer& server, const TempDir& dir, int connectPort = 0);
// A SOCKS5 proxy; with a user it demands user and password authentication.
bool StartMicrosocks(RealServer& server, const std::string& user = {},
                     const std::string& password = {});
// A SOCKS4 and SOCKS5 proxy without authentication.
bool StartDante(RealServer& server, const TempDir& dir);

struct Certificate {
    std::string certificatePath;
    std::string keyPath;
};
// `openssl s_server` with the certificate; `extraArgs` choose its behaviour, such as "-rev"
// (sends every line back reversed) or "-verify", "1" (asks for a client certificate).
bool StartTlsServer(RealServer& server, const TempDir& dir, const Certificate& certificate,
                    const std::vector<std::string>& extraArgs);

}  // namespace tellweir::testing
