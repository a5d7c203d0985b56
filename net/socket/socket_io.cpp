// Time-bounded waits, receives and sends on a socket descriptor.
#include "net/socket/socket_io.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <limits>

#include "net/socket/socket_error.h"
#include "net/socket/socket_watchdog.h"

namespace tellweir {
namespace {

bool IsRetryableErrno(int error) {
    return error == EINTR || error == EAGAIN || error == EWOULDBLOCK;
}

}  // namespace

TransferResult WaitReady(int handle, short events, std::int64_t deadlineMs) {
    if (handle < 0) return SocketErrorFromErrno(EBADF);
    for (;;) {
        const std::int64_t left = deadlineMs - MonotonicMs();
        if (left < 0) return result::kTimeout;
        pollfd entry{handle, events, 0};
        const int wait = left > std::numeric_limits<int>::max() ? std::numeric_limits<int>::max()
                                                                : static_cast<int>(left);
        const int ready = ::poll(&entry, 1, wait);
        if (ready > 0) {
            if ((entry.revents & POLLNVAL) != 0) return SocketErrorFromErrno(EBADF);
            return 0;
        }
        if (ready == 0) {
            if (MonotonicMs() >= deadlineMs) return result::kTimeout;
            continue;
        }
        if (errno != EINTR) return LastSocketError();
    }
}

std::int64_t ReceiveSome(int handle, void* buffer, std::size_t size, std::int64_t deadlineMs,
                         TransferResult& error) {
    // Data that is already there is taken at once; the wait comes only when there was none, so
    // a busy stream costs one call per receive, not two.
    for (;;) {
        const ssize_t count = ::recv(handle, buffer, size, MSG_DONTWAIT);
        if (count >= 0) {
            error = 0;
            return count;
        }
        if (!IsRetryableErrno(errno)) {
            error = LastSocketError();
            return -1;
        }
        error = WaitReady(handle, POLLIN, deadlineMs);
        if (error != 0) return -1;
    }
}

std::int64_t ReceiveFull(int handle, void* buffer, std::size_t size, std::int64_t deadlineMs,
                         TransferResult& error) {
    auto* bytes = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const std::int64_t count =
            ReceiveSome(handle, bytes + done, size - done, deadlineMs, error);
        if (count < 0) return -1;
        if (count == 0) break;
        done += static_cast<std::size_t>(count);
    }
    return static_cast<std::int64_t>(done);
}

std::int64_t SendAll(int handle, const void* data, std::size_t length, std::int64_t deadlineMs,
                     TransferResult& error) {
    const auto* bytes = static_cast<const char*>(data);
    std::size_t done = 0;
    // As with receiving, the wait comes only when the socket's buffer is full.
    while (done < length) {
        const ssize_t count =
            ::send(handle, bytes + done, length - done, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (count >= 0) {
            done += static_cast<std::size_t>(count);
            continue;
        }
        if (!IsRetryableErrno(errno)) {
            error = LastSocketError();
            return -1;
        }
        error = WaitReady(handle, POLLOUT, deadlineMs);
        if (error != 0) return -1;
    }
    error = 0;
    return static_cast<std::int64_t>(length);
}

}  // namespace tellweir
