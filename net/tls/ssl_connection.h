// SSLConnection: the TLS client over an already connected socket (OpenSSL 3). It negotiates over
// the socket's own plain receive and send, traces the negotiation into the transfer log, verifies
// the server's certificate chain against the system's trust store and the server's name or
// address, and then carries the socket's reads and writes until it is shut down.
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
#include "net/tls/tls_options.h"

namespace tellweir {

// Used by the thread that owns the socket; different connections may run on different threads.
class SSLConnection {
  public:
    enum State : std::int32_t { kFailed = -1, kIdle = 0, kHandshaking = 1, kEstablished = 2 };

    // Process start and exit (Startup of the socket layer); thread-safe.
    static bool LibraryStartup();
    static void LibraryShutdown();

    // Negotiates TLS over `transport`, which must outlive the connection. `options.method` is 0
    // to 3 (any other value fails); every value runs TLS 1.2 or 1.3, and the log says so. `log`
    // is written during the handshake only. `peerName` is the host the connection leads to: a
    // name is told to the server (SNI) and must be one of the certificate's names; a dotted
    // address must be one of its addresses; empty checks the chain only. The chain must lead
    // to a certificate of the system's trust store (SSL_CERT_FILE and SSL_CERT_DIR name others)
    // unless `options.acceptUntrusted`. Gives nothing when the method is unknown, the server's
    // certificate is refused or the handshake fails; each logs why at level 1.
    static std::unique_ptr<SSLConnection> Create(const TlsOptions& options,
                                                 IRawTransport& transport, ILog* log,
                                                 std::string_view peerName = {},
                                                 const ClientCertificate& client = {});

    ~SSLConnection();  // as Release
    SSLConnection(const SSLConnection&) = delete;
    SSLConnection& operator=(const SSLConnection&) = delete;

    // Read: a byte count; 0 only when the server ended the stream with its close notification;
    // -1 for every failure, including a stream that ends without that notification (possibly
    // cut short). Write: `length`, or -1. -1 also without a session. After -1 the transport's
    // RawError tells whether the channel below failed (0: the library itself failed, such as a
    // broken record). After a failure every further call gives -1 at once.
    std::int32_t Read(void* buffer, std::int32_t size);
    std::int32_t Write(const void* data, std::int32_t length);

    // Sends the close notification while the socket is still open and the session has not
    // failed, then frees the session.
    void Shutdown();
    // Frees the session without a notification (the socket is already gone).
    void Release();

    State GetState() const { return static_cast<State>(state_.load()); }
    // The server's own certificate (not its issuers), as collected during the handshake.
    const CertificateInfo& ServerCertificate() const { return certificate_; }

  private:
    SSLConnection(const TlsOptions& options, IRawTransport& transport, ILog* log,
                  const ClientCertificate& client);

    bool Configure(std::string_view peerName);
    // Sets what the certificate is checked against, and SNI for a name.
    bool SetPeerName(std::string_view peerName);
    bool Handshake();
    void LogEstablished() const;
    void LogHandshakeFailure() const;
    // The end of a read or write that gave `count` <= 0: 0 for the close notification, else -1
    // (a failure unless the channel only has nothing ready).
    std::int32_t EndOfIo(int count);

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

    TlsOptions options_;
    IRawTransport& transport_;
    ILog* log_;
    ClientCertificate client_;
    std::string peerName_;          // as checked: a name, or an address in dotted form
    bool versionFlexible_ = false;  // method 1: the trace names the SSLv23 hello states
    bool certificateSeen_ = false;  // the server's certificate is recorded and logged
    bool untrusted_ = false;        // a verification failure was accepted by the setting
    SSL_CTX* context_ = nullptr;
    SSL* session_ = nullptr;
    std::atomic<std::int32_t> state_{kIdle};
    std::atomic<std::int32_t> decision_{-1};  // -1 undecided, 1 accepted, 0 refused
    CertificateInfo certificate_;
};

}  // namespace tellweir
