// CNetSocket: connecting directly, receive and send, the readiness probe, TLS hand-over, close
// and interrupt.
#include "net/socket/net_socket.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "net/net_log.h"
#include "net/socket/socket_address.h"
#include "net/socket/socket_error.h"
#include "net/socket/socket_io.h"
#include "net/socket/socket_watchdog.h"
#include "net/tls/ssl_connection.h"

namespace tellweir {
namespace {

constexpr std::int32_t kMinBufferSize = 128;

// Waits for a non-blocking connect to finish; 0 or its error.
TransferResult WaitConnected(int handle, std::int64_t deadlineMs) {
    if (const TransferResult error = WaitReady(handle, POLLOUT, deadlineMs)) return error;
    int failure = 0;
    socklen_t length = sizeof failure;
    if (::getsockopt(handle, SOL_SOCKET, SO_ERROR, &failure, &length) != 0) {
        return LastSocketError();
    }
    return failure == 0 ? 0 : SocketErrorFromErrno(failure);
}

}  // namespace

CNetSocket::CNetSocket() = default;

CNetSocket::~CNetSocket() {
    Close();
}

bool CNetSocket::IsOpen() const {
    return handle_ >= 0;
}

bool CNetSocket::OpenStream() {
    const int handle = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (handle < 0) return false;
    SetHandle(handle);
    return true;
}

void CNetSocket::SetHandle(int handle) {
    std::lock_guard guard(handleLock_);
    handle_ = handle;
    interrupted_ = false;
}

std::int64_t CNetSocket::Deadline() const {
    return MonotonicMs() + timeoutMs_;
}

TransferResult CNetSocket::Failure(TransferResult error) const {
    return error != 0 && interrupted_ ? result::kStopped : error;
}

TransferResult CNetSocket::ConnectBounded(Ipv4Address address, int port) {
    const sockaddr_in peer = ToSockaddr(address, port);
    const int flags = ::fcntl(handle_, F_GETFL);
    ::fcntl(handle_, F_SETFL, flags | O_NONBLOCK);
    TransferResult error = 0;
    if (::connect(handle_, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
        if (errno != EINPROGRESS && errno != EINTR) {
            error = LastSocketError();
        } else if (interrupted_) {
            error = result::kStopped;  // stopped before the wait could be woken
        } else {
            error = WaitConnected(handle_, Deadline());
        }
    }
    ::fcntl(handle_, F_SETFL, flags);
    return Failure(error);
}

bool CNetSocket::Connect(Ipv4Address address, int port, ILog* log) {
    Close();
    if (!OpenStream()) {
        lastError_ = LastSocketError();
        LogMessage(log, kLevelError, msg::kCannotSocket, lastError_);
        return false;
    }
    const std::string text = FormatAddress(address);
    LogMessage(log, kLevelStatus, msg::kConnecting, text, port);
    lastError_ = ConnectBounded(address, port);
    if (lastError_ != 0) {
        LogMessage(log, kLevelError, msg::kCannotConnect, text, port, lastError_);
        return false;
    }
    LogMessage(log, kLevelStatus, msg::kConnected, text, port);
    serverName_ = text;
    return true;
}

bool CNetSocket::ResolveName(std::string_view host, Ipv4Address& address, ILog* log) {
    if (const std::optional<Ipv4Address> dotted = ParseDottedAddress(host)) {
        address = *dotted;
        return true;
    }
    CHostLookup lookup{std::string(host)};
    {
        std::lock_guard guard(handleLock_);
        lookup_ = &lookup;
    }
    const TransferResult found = lookup.Wait(
        Deadline(), [this] { return interrupted_.load() || (stopCheck_ && stopCheck_()); },
        address);
    {
        std::lock_guard guard(handleLock_);
        lookup_ = nullptr;
    }
    if (found == result::kOk) return true;
    if (found == result::kStopped) {
        lastError_ = result::kStopped;
        return false;
    }
    lastError_ = result::kResolveFailed;
    if (found == result::kTimeout)
        LogMessage(log, kLevelError, msg::kTimeoutOn, "host name lookup");
    LogMessage(log, kLevelError, msg::kCannotResolve, host);
    return false;
}

bool CNetSocket::ConnectHost(std::string_view host, int port, ILog* log) {
    const bool dotted = ParseDottedAddress(host).has_value();
    Ipv4Address address = 0;
    if (!ResolveName(host, address, log)) return false;
    if (!dotted) LogMessage(log, kLevelStatus, msg::kHostResolved, host, FormatAddress(address));
    if (!Connect(address, port, log)) return false;
    if (!dotted) serverName_ = host;
    return true;
}

std::int32_t CNetSocket::Receive(void* buffer, std::int32_t size) {
    std::int32_t count = 0;
    if (tls_) {
        lastError_ = 0;
        count = tls_->Read(buffer, size);
        if (count < 0) return TlsFailed();
    } else {
        count = RawReceive(buffer, size);
    }
    if (count > 0 && observer_ != nullptr) observer_->OnReceived(count);
    return count;
}

std::int32_t CNetSocket::Send(const void* data, std::int32_t length) {
    std::int32_t count = 0;
    if (tls_) {
        lastError_ = 0;
        if (length <= 0) return 0;
        count = tls_->Write(data, length);
        if (count < 0) return TlsFailed();
    } else {
        count = RawSend(data, length);
    }
    if (count > 0 && observer_ != nullptr) observer_->OnSent(count);
    return count;
}

std::int32_t CNetSocket::TlsFailed() {
    if (lastError_ == 0) lastError_ = interrupted_ ? result::kStopped : sockerr::kConnectionAborted;
    return -1;
}

std::int32_t CNetSocket::RawReceive(void* buffer, std::int32_t size) {
    return WatchedCall([&](std::int64_t deadline, TransferResult& error) {
        return ReceiveSome(handle_, buffer, static_cast<std::size_t>(std::max(size, 0)), deadline,
                           error);
    });
}

std::int32_t CNetSocket::RawSend(const void* data, std::int32_t length) {
    return WatchedCall([&](std::int64_t deadline, TransferResult& error) {
        return SendAll(handle_, data, static_cast<std::size_t>(std::max(length, 0)), deadline,
                       error);
    });
}

std::int32_t CNetSocket::WatchedCall(const TimedCall& call) {
    const std::int64_t deadline = Deadline();
    const bool watched = timeoutMs_ > 0 && handle_ >= 0;  // a probe cannot block
    SocketWatchdog& watchdog = SocketWatchdog::Instance();
    if (watched) watchdog.Register(handle_, deadline);
    lastError_ = 0;
    TransferResult error = 0;
    const std::int64_t count = call(deadline, error);
    const bool swept = watched && !watchdog.Unregister(handle_);
    return FinishIo(count, error, swept);
}

std::int32_t CNetSocket::FinishIo(std::int64_t count, TransferResult error, bool swept) {
    if (interrupted_) {
        lastError_ = result::kStopped;
        return -1;
    }
    if (swept) {
        lastError_ = result::kTimeout;
        return -1;
    }
    if (count < 0) {
        lastError_ = (error == result::kTimeout && timeoutMs_ == 0) ? sockerr::kWouldBlock : error;
        return -1;
    }
    return static_cast<std::int32_t>(count);
}

TransferResult CNetSocket::WaitReadable(void* buffer, std::int32_t& size, std::int32_t waitMs) {
    const std::int32_t asked = std::max(size, 0);
    size = 0;
    if (handle_ < 0) return result::kInvalidParameter;
    const TransferResult waited = WaitReady(handle_, POLLIN, MonotonicMs() + std::max(waitMs, 0));
    if (waited == result::kTimeout) return 0;
    if (waited != 0) return waited;
    const ssize_t peeked =
        ::recv(handle_, buffer, static_cast<std::size_t>(asked), MSG_PEEK | MSG_DONTWAIT);
    if (peeked < 0) return (errno == EAGAIN || errno == EWOULDBLOCK) ? 0 : LastSocketError();
    if (peeked == 0 && asked > 0) return sockerr::kConnectionAborted;
    size = static_cast<std::int32_t>(peeked);
    return 0;
}

bool CNetSocket::GetLocalAddress(Ipv4Address& address, int& port) const {
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (::getsockname(handle_, reinterpret_cast<sockaddr*>(&local), &length) != 0) return false;
    FromSockaddr(local, address, port);
    return true;
}

bool CNetSocket::GetPeerAddress(Ipv4Address& address, int& port) const {
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    if (::getpeername(handle_, reinterpret_cast<sockaddr*>(&peer), &length) != 0) return false;
    FromSockaddr(peer, address, port);
    return true;
}

bool CNetSocket::SetBufferSize(bool forSend, std::int32_t size) {
    const int value = std::max(size, kMinBufferSize);
    if (::setsockopt(handle_, SOL_SOCKET, forSend ? SO_SNDBUF : SO_RCVBUF, &value, sizeof value) !=
        0) {
        lastError_ = LastSocketError();
        return false;
    }
    return true;
}

bool CNetSocket::StartTls(const TlsOptions& options, ILog* log) {
    if (handle_ < 0 || tls_) {
        lastError_ = result::kInvalidParameter;
        return false;
    }
    tls_ = SSLConnection::Create(options, *this, log, serverName_);
    if (tls_) return true;
    const TransferResult error = interrupted_ ? result::kStopped : result::kTlsFailed;
    Close();
    lastError_ = error;
    return false;
}

void CNetSocket::Close() {
    if (tls_) {
        tls_->Shutdown();
        tls_.reset();
    }
    std::lock_guard guard(handleLock_);
    if (handle_ >= 0) ::close(handle_);
    handle_ = -1;
    interrupted_ = false;
    serverName_.clear();
}

void CNetSocket::Interrupt() {
    std::lock_guard guard(handleLock_);
    // Also without a handle: a name lookup comes before the socket is made. Close and the next
    // connection clear the mark.
    interrupted_ = true;
    if (lookup_ != nullptr) lookup_->Wake();
    if (handle_ >= 0) ::shutdown(handle_, SHUT_RDWR);
}

}  // namespace tellweir
