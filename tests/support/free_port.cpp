// Picking a free port.
#include "tests/support/free_port.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tellweir::testing {

int PickFreePort() {
    const int handle = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (handle < 0) return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(handle, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(handle, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    ::close(handle);
    return port;
}

}  // namespace tellweir::testing
