// The pyftpdlib starter.
#include "tests/support/ftp_server.h"

#include <sys/stat.h>
#include <unistd.h>

namespace tellweir::testing {
namespace {

// argv: port, anonymous root, user root, user, password.
constexpr const char* kServerScript = R"(import logging
import sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

logging.basicConfig(level=logging.WARNING)
authorizer = DummyAuthorizer()
authorizer.add_anonymous(sys.argv[2], perm="elr")
authorizer.add_user(sys.argv[4], sys.argv[5], sys.argv[3], perm="elr")
handler = FTPHandler
handler.authorizer = authorizer
handler.auth_failed_timeout = 0
handler.max_login_attempts = 20
handler.banner = "test server ready."
server = FTPServer(("127.0.0.1", int(sys.argv[1])), handler)
server.serve_forever(handle_exit=True)
)";

// The distribution's interpreter, where the distribution's pyftpdlib is installed.
std::string Python() {
    if (::access("/usr/bin/python3", X_OK) == 0) return "/usr/bin/python3";
    return "python3";
}

}  // namespace

bool StartFtpServer(FtpServer& ftp, const TempDir& dir) {
    ftp.anonymousRoot = dir / "anon";
    ftp.userRoot = dir / "home";
    ::mkdir(ftp.anonymousRoot.c_str(), 0755);
    ::mkdir(ftp.userRoot.c_str(), 0755);
    const std::string script = dir.WriteFile("ftpd.py", kServerScript);
    return StartServerOnFreePort(
        ftp.server,
        [&](int port) {
            return std::vector<std::string>{Python(),          script,       std::to_string(port),
                                            ftp.anonymousRoot, ftp.userRoot, kFtpTestUser,
                                            kFtpTestPassword};
        },
        dir / "ftpd.log");
}

}  // namespace tellweir::testing
