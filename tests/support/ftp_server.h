// Starting a real FTP server (pyftpdlib, run by the system's python3) on 127.0.0.1 for the FTP
// client's tests: an anonymous read-only area and one user with a password, each a folder of the
// test's TempDir, passive ports chosen by the system.
#pragma once

#include <string>

#include "tests/support/real_servers.h"
#include "tests/support/temp_dir.h"

namespace tellweir::testing {

inline constexpr const char* kFtpTestUser = "alice";
inline constexpr const char* kFtpTestPassword = "secret";

struct FtpServer {
    RealServer server;
    std::string anonymousRoot;  // what anonymous logins see as "/"
    std::string userRoot;       // what kFtpTestUser sees as "/"
    int Port() const { return server.port; }
};

// Makes the two folders "anon" and "home" in `dir` and starts the server (its output goes to
// "ftpd.log" there). Failed logins are answered at once, and twenty of
// them keep the connection, so refusal tests stay quick. False with
// the reason in ftp.server.error when python3 or pyftpdlib is missing.
bool StartFtpServer(FtpServer& ftp, const TempDir& dir);

}  // namespace tellweir::testing
