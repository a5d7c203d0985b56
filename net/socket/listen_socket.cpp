// CNetSocket: binding, listening and accepting (the data connections of active FTP).
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

#include "log/error_words.h"
#include "net/net_log.h"
#include "net/socket/net_socket.h"
#include "net/socket/socket_address.h"
#include "net/socket/socket_error.h"
#include "net/socket/socket_io.h"

namespace tellweir {

bool CNetSocket::Bind(Ipv4Address address, int port, ILog* log) {
    Close();
    if (!OpenStream()) {
        lastError_ = LastSocketError();
        LogFormat(log, kLevelError, "Can't socket (error: %s).", ErrorNumberText(lastError_));
        return false;
    }
    const sockaddr_in local = ToSockaddr(address, port);
    if (::bind(handle_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        lastError_ = LastSocketError();
        LogFormat(log, kLevelError, "Can't bind to %s:%d (error: %s).", FormatAddress(address),
                  port, ErrorNumberText(lastError_));
        return false;
    }
    Ipv4Address bound = address;
    int boundPort = port;
    GetLocalAddress(bound, boundPort);
    LogFormat(log, kLevelStatus, "Socket bound to %s:%d.", FormatAddress(bound), boundPort);
    return true;
}

bool CNetSocket::Listen(int backlog, ILog* log) {
    if (::listen(handle_, backlog) != 0) {
        lastError_ = LastSocketError();
        LogFormat(log, kLevelError, "Can't listen (error: %s).", ErrorNumberText(lastError_));
        return false;
    }
    // Accept waits with poll; a connection reset before it is taken must not block accept().
    ::fcntl(handle_, F_SETFL, ::fcntl(handle_, F_GETFL) | O_NONBLOCK);
    Ipv4Address address = 0;
    int port = 0;
    GetLocalAddress(address, port);
    LogFormat(log, kLevelStatus, "Listen started at %s:%d.", FormatAddress(address), port);
    return true;
}

bool CNetSocket::BindAndListen(Ipv4Address address, int port, int backlog, ILog* log) {
    return Bind(address, port, log) && Listen(backlog, log);
}

bool CNetSocket::Accept(CNetSocket& target, ILog* log) {
    target.Close();
    const std::int64_t deadline = Deadline();
    TransferResult error = 0;
    int accepted = -1;
    while (accepted < 0 && error == 0) {
        error = WaitReady(handle_, POLLIN, deadline);
        if (error != 0) break;
        accepted = ::accept4(handle_, nullptr, nullptr, SOCK_CLOEXEC);
        if (accepted < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR &&
            errno != ECONNABORTED) {
            error = LastSocketError();
        }
    }
    lastError_ = Failure(error);
    if (lastError_ != 0) {
        LogFormat(log, kLevelError, "Can't accept (error: %s).", ErrorNumberText(lastError_));
        return false;
    }
    target.SetHandle(accepted);
    Ipv4Address address = 0;
    int port = 0;
    target.GetPeerAddress(address, port);
    LogFormat(log, kLevelStatus, "Socket accepted from %s:%d.", FormatAddress(address), port);
    return true;
}

}  // namespace tellweir
