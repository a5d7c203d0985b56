// Network layer start-up and shut-down.
#include "net/net_startup.h"

#include <csignal>
#include <mutex>

#include "net/tls/ssl_connection.h"

namespace tellweir {
namespace {

std::mutex startupLock;
bool started = false;

bool IgnoreBrokenPipes() {
    struct sigaction action {};
    action.sa_handler = SIG_IGN;
    sigemptyset(&action.sa_mask);
    return ::sigaction(SIGPIPE, &action, nullptr) == 0;
}

}  // namespace

bool Startup(bool enable) {
    std::lock_guard guard(startupLock);
    if (enable) {
        if (started) return true;
        if (!SSLConnection::LibraryStartup()) return false;
        if (!IgnoreBrokenPipes()) {
            SSLConnection::LibraryShutdown();
            return false;
        }
        started = true;
        return true;
    }
    if (started) SSLConnection::LibraryShutdown();
    started = false;
    return true;
}

}  // namespace tellweir
