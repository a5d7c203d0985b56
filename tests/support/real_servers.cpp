// Real server starters.
#include "tests/support/real_servers.h"

#include <unistd.h>

#include "tests/support/free_port.h"

namespace tellweir::testing {

bool StartServerOnFreePort(RealServer& server, const ArgvForPort& argv,
                           const std::string& outputPath) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        server.port = PickFreePort();
        if (!server.process.Start(argv(server.port), outputPath)) {
            server.error = server.process.Error();
            return false;  // a missing program does not appear on a second try
        }
        if (server.process.WaitForPort(server.port)) {
            server.error.clear();
            return true;
        }
        server.error = server.process.Error();
        server.process.Stop();
    }
    return false;
}

bool StartTinyproxy(RealServer& server, const TempDir& dir, int connectPort) {
    return StartServerOnFreePort(
        server,
        [&](int port) {
            std::string config = "Port " + std::to_string(port) +
                                 "\nListen 127.0.0.1\nTimeout 30\nAllow 127.0.0.1\n"
                                 "MaxClients 20\nLogLevel Info\n";
            if (connectPort != 0) config += "ConnectPort " + std::to_string(connectPort) + "\n";
            return std::vector<std::string>{"tinyproxy", "-d", "-c",
                                            dir.WriteFile("tinyproxy.conf", config)};
        },
        dir / "tinyproxy.log");
}

bool StartMicrosocks(RealServer& server, const std::string& user, const std::string& password) {
    return StartServerOnFreePort(server,
                                 [&](int port) {
                                     std::vector<std::string> argv{"microsocks", "-i", "127.0.0.1",
                                                                   "-p", std::to_string(port)};
                                     if (!user.empty())
                                         argv.insert(argv.end(), {"-u", user, "-P", password});
                                     return argv;
                                 },
                                 {});
}

bool StartDante(RealServer& server, const TempDir& dir) {
    return StartServerOnFreePort(
        server,
        [&](int port) {
            std::string config =
                "logoutput: stderr\ninternal: 127.0.0.1 port = " + std::to_string(port) +
                "\nexternal: 127.0.0.1\nsocksmethod: none\nclientmethod: none\n";
            // Run as root, dante insists on knowing whom to switch to.
            if (::geteuid() == 0) config += "user.privileged: root\nuser.unprivileged: nobody\n";
            config +=
                "client pass { from: 127.0.0.1/32 to: 0.0.0.0/0 }\n"
                "socks pass { from: 127.0.0.1/32 to: 0.0.0.0/0 command: connect }\n";
            return std::vector<std::string>{
                "danted", "-f", dir.WriteFile("danted.conf", config), "-p", dir / "danted.pid",
                "-N",     "1"};
        },
        dir / "danted.log");
}

bool StartTlsServer(RealServer& server, const TempDir& dir, const Certificate& certificate,
                    const std::vector<std::string>& extraArgs) {
    return StartServerOnFreePort(
        server,
        [&](int port) {
            std::vector<std::string> argv{"openssl", "s_server",
                                          "-accept", "127.0.0.1:" + std::to_string(port),
                                          "-cert",   certificate.certificatePath,
                                          "-key",    certificate.keyPath};
            argv.insert(argv.end(), extraArgs.begin(), extraArgs.end());
            return argv;
        },
        dir / "s_server.log");
}

}  // namespace tellweir::testing
