// SSLConnection: the TLS client over an already connected socket (OpenSSL 3). It negotiates over
// the socket's own plain receive and send, traces the negotiation into the transfer log, accepts
// the server's certificate after logging its validity, and then carries the socket's reads and
// writes until it is shut down.
#pragma once

#include <openssl/types.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "log/log.h"
#include "net/socket/raw_transport.h"
#include "net/tls/ssl_certificate.h"

namespace tellweir {

// Used by the thread that owns the socket; different connections may run on different threads.
class SSLConnection {
  public:
    enum State : std::int32_t { kFailed = -1, kIdle = 0, kHandshaking = 1, kEstablished = 2 };

    // Process start and exit (Startup of the socket layer); thread-safe.
    static bool LibraryStartup();
    static void LibraryShutdown();

    // Negotiates TLS over `transport`, which must outlive the connection. `method` is 0 to 3
    // ("SSLv2", "SSLv23", "SSLv3", "TLSv1.0" in the settings): every value runs TLS 1.2 or 1.3,
    // the only versions the library still offers, while the log names the chosen method. `log`
    // is written during the handshake only. `serverName`, when not empty, is the host name the
    // server is told (SNI). Gives nothing when the method is unknown or the handshake fails.
    static std::unique_ptr<SSLConnection> Create(std::int32_t method, IRawTransport& transport,
                                                 ILog* log, std::string_view serverName = {},
                                                 const ClientCertificate& client = {});

    ~SSLConnection();  // as Release
    SSLConnection(const SSLConnection&) = delete;
    SSLConnection& operator=(const SSLConnection&) = delete;

    // The library's result: a byte count, or 0 or less on failure (0 also when the peer ended
    // the connection); -1 without a session.
    std::int32_t Read(void* buffer, std::int32_t size);
    std::int32_t Write(const void* data, std::int32_t length);

    // Sends the close notification while the socket is still open, then frees the session.
    void Shutdown();
    // Frees the session without a notification (the socket is already gone).
    void Release();

    State GetState() const { return static_cast<State>(state_.load()); }
    // The first certificate the server presented, as collected during the handshake.
    const CertificateInfo& ServerCertificate() const { return certificate_; }

  private:
    SSLConnection(IRawTransport& transport, ILog* log, const ClientCertificate& client);

    bool Configure(std::int32_t method, std::string_view serverName);
    bool Handshake();

    // The raw channel: the program's own BIO (ssl_bio.cpp) calls these.
    friend struct ChannelBio;
    int ChannelRead(char* buffer, int size, bool& retry);
    int ChannelWrite(const char* data, int length, bool& retry);
    bool ShouldTrace() const;

    // Library callbacks; `ssl` leads back to the connection through its application data.
    static SSLConnection* FromSsl(const SSL* ssl);
    static void MessageCallback(int writeP, int version, int contentType, const void* buffer,
                                std::size_t length, SSL* ssl, void* arg);
    static int ClientCertCallback(SSL* ssl, X509** certificate, EVP_PKEY** key);
    static int VerifyHook(X509_STORE_CTX* store, void* arg);
    static int VerifyCallback(int preverified, X509_STORE_CTX* store);

    IRawTransport& transport_;
    ILog* log_;
    ClientCertificate client_;
    bool versionFlexible_ = false;  // method 1: the trace names the SSLv23 hello states
    SSL_CTX* context_ = nullptr;
    SSL* session_ = nullptr;
    std::atomic<std::int32_t> state_{kIdle};
    std::atomic<std::int32_t> decision_{-1};  // -1 undecided, 1 accepted, 0 refused
    CertificateInfo certificate_;
};

}  // namespace tellweir
