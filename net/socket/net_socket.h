// CNetSocket: the blocking IPv4 TCP connection all network traffic goes through: connecting
// directly or through an HTTP, HTTPS (CONNECT), SOCKS4 or SOCKS5 proxy, time-limited receive and
// send, the readiness probe, listening and accepting for active FTP, and the hand-over to TLS.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "log/log.h"
#include "log/transfer_result.h"
#include "net/socket/raw_transport.h"
#include "net/socket/resolve.h"
#include "net/tls/tls_options.h"
#include "transfer/traffic_observer.h"
#include "url/protocol.h"

namespace tellweir {

class SSLConnection;

// Owned and used by one thread at a time (the worker running its transfer). Interrupt is the one
// operation another thread may call. Every failing operation sets LastError and, where a log is
// given, writes one line; nothing throws. Every blocking step (resolving a name, connecting, proxy
// handshakes, receive, send, accept) ends within the time limit.
class CNetSocket final : private IRawTransport {
  public:
    static constexpr std::int32_t kDefaultTimeoutMs = 60000;

    CNetSocket();
    ~CNetSocket();  // closes
    CNetSocket(const CNetSocket&) = delete;
    CNetSocket& operator=(const CNetSocket&) = delete;

    // Connecting. An open socket is closed first. A connect that fails leaves the handle open
    // for the caller to close; so does a failed proxy handshake (connected to the proxy).
    bool Connect(Ipv4Address address, int port, ILog* log);
    bool ConnectHost(std::string_view host, int port, ILog* log);
    // `proxy` empty or "no" (any case) connects directly; otherwise a proxy URL (a text without
    // scheme is an HTTP proxy): http and ftp proxies are only connected to, https opens a
    // CONNECT tunnel, socks4 and socks5 a SOCKS tunnel to the target.
    bool ConnectVia(std::string_view host, int port, std::string_view proxy, ILog* log);
    bool ConnectViaAddress(Ipv4Address address, int port, std::string_view proxy, ILog* log);
    // A dotted text as it is, else the name looked up within the time limit (CHostLookup);
    // Interrupt or the stop check ends the wait at once. Fails with 1008 (logged) when the name
    // has no address or the time limit passed, 3 when stopped.
    bool ResolveName(std::string_view host, Ipv4Address& address, ILog* log);

    // One receive (through TLS when started): the byte count, 0 when the peer closed (through
    // TLS only with its close notification), -1 on failure: 110 when the time limit passed (or
    // the watchdog swept the call), 3 when interrupted, 10035 when the time limit is 0 and
    // nothing was there, 10053 when TLS failed by itself (a broken record, a stream that ended
    // without the close notification), else a socket error.
    std::int32_t Receive(void* buffer, std::int32_t size);
    // Sends the whole buffer (through TLS when started): `length`, or -1 as Receive; nothing to
    // send gives 0.
    std::int32_t Send(const void* data, std::int32_t length);

    // Readiness probe: waits up to `waitMs` for data, then peeks up to `size` bytes into
    // `buffer` without consuming them; `size` becomes the count peeked (0 when nothing came).
    // Gives 0, 102 without a handle, 10053 when the peer has closed, or a socket error.
    [[nodiscard]] TransferResult WaitReadable(void* buffer, std::int32_t& size,
                                              std::int32_t waitMs);

    // Address and port (host order) of this end and of the peer.
    bool GetLocalAddress(Ipv4Address& address, int& port) const;
    bool GetPeerAddress(Ipv4Address& address, int& port) const;

    // Listening and accepting (active FTP data connections); these log free texts.
    bool Bind(Ipv4Address address, int port, ILog* log);
    bool Listen(int backlog, ILog* log);
    bool BindAndListen(Ipv4Address address, int port, int backlog, ILog* log);
    // Waits up to the time limit for a connection and gives it to `target` (closed first).
    bool Accept(CNetSocket& target, ILog* log);

    // SO_SNDBUF when `forSend`, else SO_RCVBUF, to `size` but at least 128 bytes.
    bool SetBufferSize(bool forSend, std::int32_t size);

    // Runs TLS over the open connection, verifying the server's certificate against the host
    // the connection leads to (for a tunnel, its target; see SSLConnection::Create). Fails with
    // 102 without a handle or with TLS already started; an unknown method, a refused certificate
    // or a failed handshake closes the socket and gives 1019.
    bool StartTls(const TlsOptions& options, ILog* log);

    // Ends TLS (with a close notification) and closes the handle. Owner thread only.
    void Close();
    // Callable from any thread (a session's stop): shuts the connection down so that a blocked
    // call of the owner returns at once (LastError 3), and ends a name lookup's wait. Never
    // closes the handle: the owner does.
    void Interrupt();
    // The owner's own stop test (a session's abort flag), which a name lookup's wait also
    // heeds, so that a stop that came just before the lookup began is not missed. Set before
    // the socket is used.
    void SetStopCheck(std::function<bool()> stop) { stopCheck_ = std::move(stop); }

    bool IsOpen() const override;
    bool HasTls() const { return tls_ != nullptr; }
    int Handle() const { return handle_; }
    [[nodiscard]] TransferResult LastError() const { return lastError_; }
    void SetLastError(TransferResult error) { lastError_ = error; }

    // The I/O time limit in milliseconds. 0 makes receive and send non-blocking probes.
    std::int32_t Timeout() const { return timeoutMs_; }
    void SetTimeout(std::int32_t ms) { timeoutMs_ = ms < 0 ? 0 : ms; }

    // Told of every payload byte count; not owned; set and cleared by the client using the socket.
    void SetObserver(ITrafficObserver* observer) { observer_ = observer; }
    ITrafficObserver* Observer() const { return observer_; }

  private:
    // IRawTransport: plain receive and send registered with the watchdog.
    std::int32_t RawReceive(void* buffer, std::int32_t size) override;
    std::int32_t RawSend(const void* data, std::int32_t length) override;
    [[nodiscard]] TransferResult RawError() const override { return lastError_; }
    // A receive or send ending at the deadline it is given: a count, or -1 with the error set.
    using TimedCall = std::function<std::int64_t(std::int64_t deadlineMs, TransferResult& error)>;
    // Runs `call` registered with the watchdog (unless the time limit is 0).
    std::int32_t WatchedCall(const TimedCall& call);
    // The result of a raw receive or send: an interrupt, then a sweep by the watchdog, then the
    // call's own error decide lastError.
    std::int32_t FinishIo(std::int64_t count, TransferResult error, bool swept);
    // A TLS read or write that gave -1: what the raw channel recorded, else 10053 (3 once
    // interrupted), so that no failure leaves lastError 0.
    std::int32_t TlsFailed();

    // Creates a stream socket as the handle; false with errno set.
    bool OpenStream();
    void SetHandle(int handle);
    // connect() bounded by the time limit; 0 or the error.
    [[nodiscard]] TransferResult ConnectBounded(Ipv4Address address, int port);
    // The deadline of an operation starting now.
    std::int64_t Deadline() const;
    // The error a failed step reports: 3 once interrupted, else `error`.
    [[nodiscard]] TransferResult Failure(TransferResult error) const;
    // Runs the tunnel handshake of a SOCKS or CONNECT proxy over the connection to the proxy.
    bool OpenTunnel(ProtocolId protocol, std::string_view host, Ipv4Address target, int port,
                    std::string_view user, std::string_view password, ILog* log);

    int handle_ = -1;
    mutable std::mutex handleLock_;  // guards changes of handle_ and lookup_ against Interrupt
    CHostLookup* lookup_ = nullptr;  // the name lookup being waited for
    std::function<bool()> stopCheck_;
    std::atomic<bool> interrupted_{false};
    TransferResult lastError_ = 0;
    std::int32_t timeoutMs_ = kDefaultTimeoutMs;
    ITrafficObserver* observer_ = nullptr;
    std::unique_ptr<SSLConnection> tls_;
    // The host the connection leads to (a tunnel's target, not its proxy), as the caller named
    // it or in dotted form; TLS checks the server's certificate against it.
    std::string serverName_;
};

}  // namespace tellweir
