// Bounded reads and writes with poll: a wait covers the connection and the stop descriptor.
#include "app/control_socket_io.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace tellweir {

namespace {

// Waits until `fd` is ready for `events`.
ControlIo WaitReady(int fd, short events, ControlClock::time_point deadline, int stopFd) {
    for (;;) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - ControlClock::now());
        if (left.count() <= 0) return ControlIo::TimedOut;
        pollfd fds[2] = {{fd, events, 0}, {stopFd, POLLIN, 0}};
        const int count = ::poll(fds, stopFd >= 0 ? 2 : 1,
                                 static_cast<int>(std::min<long long>(left.count(), 60'000)));
        if (count < 0) {
            if (errno == EINTR) continue;
            return ControlIo::Failed;
        }
        if (stopFd >= 0 && (fds[1].revents & POLLIN) != 0) return ControlIo::Stopped;
        // An error or hang-up shows in the read or write that follows.
        if (fds[0].revents != 0) return ControlIo::Done;
    }
}

}  // namespace

ControlIo WriteControlBytes(int fd, std::string_view bytes, ControlClock::time_point deadline,
                            int stopFd) {
    while (!bytes.empty()) {
        const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
            continue;
        }
        if (sent < 0 && errno == EINTR) continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            const ControlIo waited = WaitReady(fd, POLLOUT, deadline, stopFd);
            if (waited != ControlIo::Done) return waited;
            continue;
        }
        return ControlIo::Failed;
    }
    return ControlIo::Done;
}

ControlIo ReadControlBytes(int fd, std::string& into, std::size_t wanted, std::size_t cap,
                           ControlClock::time_point deadline, int stopFd) {
    char buffer[16 * 1024];
    while (into.size() < wanted) {
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got == 0) return ControlIo::Done;  // the peer has stopped writing
        if (got > 0) {
            if (into.size() + static_cast<std::size_t>(got) > cap) return ControlIo::TooLarge;
            into.append(buffer, static_cast<std::size_t>(got));
            continue;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return ControlIo::Failed;
        const ControlIo waited = WaitReady(fd, POLLIN, deadline, stopFd);
        if (waited != ControlIo::Done) return waited;
    }
    return ControlIo::Done;
}

}  // namespace tellweir
