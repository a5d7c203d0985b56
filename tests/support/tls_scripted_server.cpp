// The one-connection TLS server.
#include "tests/support/tls_scripted_server.h"

#include <fcntl.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <utility>

namespace tellweir::testing {
namespace {

constexpr int kStepLimitMs = 10000;
constexpr std::string_view kGarbage = "this is not a TLS record\r\n";

// Waits (at most the step limit) until the peer has acknowledged everything sent.
void WaitUntilSent(int connection) {
    for (int waited = 0; waited < kStepLimitMs; ++waited) {
        int pending = 0;
        if (::ioctl(connection, SIOCOUTQ, &pending) != 0 || pending == 0) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

}  // namespace

TlsScriptedServer::TlsScriptedServer(const Certificate& certificate, std::string reply,
                                     TlsEnding ending)
    : reply_(std::move(reply)), ending_(ending) {
    context_ = SSL_CTX_new(TLS_server_method());
    if (context_ == nullptr ||
        SSL_CTX_use_certificate_file(context_, certificate.certificatePath.c_str(),
                                     SSL_FILETYPE_PEM) != 1 ||
        SSL_CTX_use_PrivateKey_file(context_, certificate.keyPath.c_str(), SSL_FILETYPE_PEM) != 1) {
        Fail("cannot load " + certificate.certificatePath);
    }
    int wake[2] = {-1, -1};
    if (::pipe2(wake, O_CLOEXEC) == 0) {
        wakeRead_ = wake[0];
        wakeWrite_ = wake[1];
    }
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener_ >= 0 &&
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::listen(listener_, 4) == 0 &&
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port_ = ntohs(address.sin_port);
    }
    thread_ = std::thread([this] { Run(); });
}

TlsScriptedServer::~TlsScriptedServer() {
    const char wake = 1;
    if (::write(wakeWrite_, &wake, 1) < 0) Fail("cannot wake the server thread");
    thread_.join();
    for (int handle : {listener_, wakeRead_, wakeWrite_}) {
        if (handle >= 0) ::close(handle);
    }
    SSL_CTX_free(context_);
}

std::string TlsScriptedServer::Received() const {
    std::lock_guard guard(lock_);
    return received_;
}

std::string TlsScriptedServer::Error() const {
    std::lock_guard guard(lock_);
    return error_;
}

void TlsScriptedServer::Fail(const std::string& text) {
    std::lock_guard guard(lock_);
    if (error_.empty()) error_ = text;
}

void TlsScriptedServer::Run() {
    if (port_ == 0 || context_ == nullptr) return Fail("cannot listen on 127.0.0.1");
    pollfd entries[2] = {{listener_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
    int ready = 0;
    do {
        ready = ::poll(entries, 2, kStepLimitMs);
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0 || entries[1].revents != 0) return;
    const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) return Fail("accept failed");
    // The library's calls block; these limits keep each of them from outliving the test.
    const timeval limit{kStepLimitMs / 1000, 0};
    ::setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    ::setsockopt(connection, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    Serve(connection);
}

void TlsScriptedServer::Serve(int connection) {
    SSL* session = SSL_new(context_);
    if (session == nullptr || SSL_set_fd(session, connection) != 1 || SSL_accept(session) != 1) {
        Fail("handshake failed");
        SSL_free(session);
        ::close(connection);
        return;
    }
    std::string head;
    char buffer[1024];
    while (head.find("\r\n\r\n") == std::string::npos) {
        const int count = SSL_read(session, buffer, sizeof buffer);
        if (count <= 0) break;
        head.append(buffer, static_cast<std::size_t>(count));
    }
    {
        std::lock_guard guard(lock_);
        received_ = head;
    }
    if (SSL_write(session, reply_.data(), static_cast<int>(reply_.size())) <= 0)
        Fail("cannot send the reply");
    End(connection, session);
}

void TlsScriptedServer::End(int connection, SSL* session) {
    switch (ending_) {
        case TlsEnding::CloseNotify:
            SSL_shutdown(session);
            break;
        case TlsEnding::PlainClose:
            break;
        case TlsEnding::Garbage:
            if (::send(connection, kGarbage.data(), kGarbage.size(), MSG_NOSIGNAL) < 0)
                Fail("cannot send the garbage");
            break;
        case TlsEnding::Reset: {
            // An abortive close drops what is still unsent: the reply must have left first.
            WaitUntilSent(connection);
            const linger abortive{1, 0};
            ::setsockopt(connection, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
            break;
        }
    }
    SSL_free(session);  // no close notification of its own
    ::close(connection);
}

}  // namespace tellweir::testing
