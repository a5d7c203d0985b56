// SSLConnection: library start-up, creating and configuring a connection, the handshake and its
// callbacks (certificate verification among them), reading, writing and shutting down.
#include "net/tls/ssl_connection.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <mutex>
#include <optional>
#include <string>

#include "net/net_log.h"
#include "net/socket/resolve.h"
#include "net/socket/socket_error.h"
#include "net/tls/ssl_bio.h"
#include "net/tls/ssl_trace.h"
#include "net/tls/ssl_verify.h"

namespace tellweir {
namespace {

// The settings' names of the method values.
constexpr std::string_view kMethodNames[] = {"SSLv2", "SSLv23", "SSLv3", "TLSv1.0"};
constexpr std::string_view kUnknownMethod =
    "SSL/TLS client method is unknown or not specified correctly.";

// The verification hook runs under one process-wide lock.
std::mutex& VerifyLock() {
    static std::mutex lock;
    return lock;
}

}  // namespace

bool SSLConnection::LibraryStartup() {
    return OPENSSL_init_ssl(OPENSSL_INIT_LOAD_SSL_STRINGS | OPENSSL_INIT_LOAD_CRYPTO_STRINGS,
                            nullptr) == 1;
}

void SSLConnection::LibraryShutdown() {
    // OpenSSL 3 frees its tables itself at exit and cannot be started again once cleaned up, so
    // only the calling thread's error state is dropped here.
    ERR_clear_error();
}

SSLConnection::SSLConnection(const TlsOptions& options, IRawTransport& transport, ILog* log,
                             const ClientCertificate& client)
    : options_(options), transport_(transport), log_(log), client_(client) {}

SSLConnection::~SSLConnection() {
    Release();
}

std::unique_ptr<SSLConnection> SSLConnection::Create(const TlsOptions& options,
                                                     IRawTransport& transport, ILog* log,
                                                     std::string_view peerName,
                                                     const ClientCertificate& client) {
    std::unique_ptr<SSLConnection> connection(new SSLConnection(options, transport, log, client));
    const bool established = connection->Configure(peerName) && connection->Handshake();
    connection->log_ = nullptr;
    ERR_clear_error();
    if (!established) return nullptr;
    return connection;
}

bool SSLConnection::Configure(std::string_view peerName) {
    state_ = kIdle;
    const std::int32_t method = options_.method;
    if (method < 0 || method >= std::int32_t(std::size(kMethodNames))) {
        LogText(log_, kLevelError, kUnknownMethod);
        return false;
    }
    // The old methods are gone from the library (and from servers): the setting only chooses
    // how the trace names the hello states.
    LogFormat(log_, kLevelStatus, "SSL/TLS client method %s is served by TLS 1.2 or later.",
              kMethodNames[method]);
    versionFlexible_ = method == 1;
    context_ = SSL_CTX_new(TLS_client_method());
    if (context_ == nullptr) {
        LogText(log_, kLevelError, kUnknownMethod);
        return false;
    }
    SSL_CTX_set_min_proto_version(context_, TLS1_2_VERSION);
    // The system's trust store. A store that cannot be loaded leaves every chain unverifiable,
    // which the verification then reports.
    (void)SSL_CTX_set_default_verify_paths(context_);
    SSL_CTX_set_client_cert_cb(context_, ClientCertCallback);
    SSL_CTX_set_verify(context_, SSL_VERIFY_PEER, VerifyCallback);
    SSL_CTX_set_trust(context_, X509_TRUST_SSL_CLIENT);
    SSL_CTX_set_cert_verify_callback(context_, VerifyHook, this);

    session_ = SSL_new(context_);
    BIO* channel = session_ != nullptr ? ChannelBio::New(*this) : nullptr;
    if (channel == nullptr) return false;
    SSL_set_app_data(session_, this);
    SSL_set_bio(session_, channel, channel);
    if (!SetPeerName(peerName)) return false;
    state_ = kHandshaking;
    SSL_set_msg_callback(session_, MessageCallback);
    SSL_set_msg_callback_arg(session_, this);
    return true;
}

bool SSLConnection::SetPeerName(std::string_view peerName) {
    if (peerName.empty()) return true;
    X509_VERIFY_PARAM* check = SSL_get0_param(session_);
    if (const std::optional<Ipv4Address> address = ParseDottedAddress(peerName)) {
        // An address is matched against the certificate's addresses; SNI carries names only.
        peerName_ = FormatAddress(*address);
        return X509_VERIFY_PARAM_set1_ip_asc(check, peerName_.c_str()) == 1;
    }
    peerName_ = peerName;
    X509_VERIFY_PARAM_set_hostflags(check, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    return SSL_set_tlsext_host_name(session_, peerName_.c_str()) == 1 &&
           X509_VERIFY_PARAM_set1_host(check, peerName_.c_str(), peerName_.size()) == 1;
}

bool SSLConnection::Handshake() {
    if (SSL_connect(session_) == 1 && state_ != kFailed) {
        state_ = kEstablished;
        decision_ = 1;
        LogEstablished();
        return true;
    }
    LogHandshakeFailure();
    Release();
    state_ = kIdle;
    return false;
}

void SSLConnection::LogEstablished() const {
    if (!untrusted_ && SSL_get_verify_result(session_) == X509_V_OK) {
        if (peerName_.empty())
            LogText(log_, kLevelStatus, "Server certificate verified.");
        else
            LogFormat(log_, kLevelStatus, "Server certificate verified for \"%s\".", peerName_);
    }
    LogFormat(log_, kLevelStatus, "SSL/TLS negotiated: %s, cipher %s.", SSL_get_version(session_),
              SSL_CIPHER_get_name(SSL_get_current_cipher(session_)));
}

void SSLConnection::LogHandshakeFailure() const {
    // A refused certificate and a missing client certificate are logged where they happen.
    if (decision_ == 0 || state_ == kFailed) return;
    const unsigned long error = ERR_peek_last_error();
    const char* reason = error != 0 ? ERR_reason_error_string(error) : nullptr;
    if (reason != nullptr)
        LogFormat(log_, kLevelError, "SSL handshake failed: %s.", reason);
    else
        LogFormat(log_, kLevelError, "SSL handshake failed (error: %d).", transport_.RawError());
}

std::int32_t SSLConnection::Read(void* buffer, std::int32_t size) {
    // The library must not be used on a session that has failed.
    if (session_ == nullptr || state_ == kFailed) return -1;
    ERR_clear_error();
    const int count = SSL_read(session_, buffer, size);
    return count > 0 ? count : EndOfIo(count);
}

std::int32_t SSLConnection::Write(const void* data, std::int32_t length) {
    if (session_ == nullptr || state_ == kFailed) return -1;
    ERR_clear_error();
    const int count = SSL_write(session_, data, length);
    if (count > 0) return count;
    (void)EndOfIo(count);  // a write never ends the stream: 0 is a failure too
    return -1;
}

std::int32_t SSLConnection::EndOfIo(int count) {
    switch (SSL_get_error(session_, count)) {
        case SSL_ERROR_ZERO_RETURN:
            return 0;
        case SSL_ERROR_WANT_READ:
        case SSL_ERROR_WANT_WRITE:
            return -1;  // a probe with nothing ready: the session stays usable
        default:
            state_ = kFailed;
            return -1;
    }
}

void SSLConnection::Shutdown() {
    if (session_ != nullptr && transport_.IsOpen() && state_ == kEstablished) {
        SSL_shutdown(session_);
    }
    Release();
}

void SSLConnection::Release() {
    if (session_ != nullptr) SSL_free(session_);  // frees the channel too
    if (context_ != nullptr) SSL_CTX_free(context_);
    session_ = nullptr;
    context_ = nullptr;
    ERR_clear_error();
}

bool SSLConnection::ShouldTrace() const {
    return log_ != nullptr && decision_ != 0;
}

int SSLConnection::ChannelRead(char* buffer, int size, bool& retry) {
    const int count = transport_.RawReceive(buffer, size);
    retry = count < 0 && transport_.RawError() == sockerr::kWouldBlock;
    if (count > 0 && state_ == kHandshaking && ShouldTrace()) {
        log_->WriteFormat(kLevelStatus, "SSL negotiate: %d raw bytes received.", count);
    }
    return count;
}

int SSLConnection::ChannelWrite(const char* data, int length, bool& retry) {
    const int count = transport_.RawSend(data, length);
    retry = count < 0 && transport_.RawError() == sockerr::kWouldBlock;
    if (count > 0 && state_ == kHandshaking && ShouldTrace()) {
        log_->WriteFormat(kLevelStatus, "SSL negotiate: %d raw bytes sent.", count);
    }
    return count;
}

SSLConnection* SSLConnection::FromSsl(const SSL* ssl) {
    return ssl != nullptr ? static_cast<SSLConnection*>(SSL_get_app_data(ssl)) : nullptr;
}

void SSLConnection::MessageCallback(int writeP, int, int contentType, const void*, std::size_t,
                                    SSL* ssl, void* arg) {
    auto* connection = static_cast<SSLConnection*>(arg);
    if (connection == nullptr || !connection->ShouldTrace()) return;
    if (!IsTracedContentType(contentType)) return;
    TraceMessage(*connection->log_, writeP != 0, contentType,
                 HandshakeStateName(SSL_get_state(ssl), connection->versionFlexible_));
}

int SSLConnection::ClientCertCallback(SSL* ssl, X509** certificate, EVP_PKEY** key) {
    SSLConnection* connection = FromSsl(ssl);
    if (connection == nullptr) return 0;
    if (LoadClientCertificate(connection->client_, certificate, key)) return 1;
    LogText(connection->log_, kLevelError, "No client certificate found.");
    connection->state_ = kFailed;
    return 0;
}

int SSLConnection::VerifyHook(X509_STORE_CTX* store, void* arg) {
    std::lock_guard guard(VerifyLock());
    const auto* connection = static_cast<const SSLConnection*>(arg);
    if (connection != nullptr && !connection->client_.certificateFile.empty() &&
        IsClientCertificate(connection->client_, X509_STORE_CTX_get0_store(store),
                            X509_STORE_CTX_get0_cert(store))) {
        return 1;
    }
    return X509_verify_cert(store);
}

int SSLConnection::VerifyCallback(int preverified, X509_STORE_CTX* store) {
    const auto* ssl = static_cast<const SSL*>(
        X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    SSLConnection* connection = FromSsl(ssl);
    if (connection == nullptr) return 0;
    if (!connection->certificateSeen_) {
        // The server's own certificate, whichever certificate of the chain is visited first.
        connection->certificateSeen_ = true;
        connection->certificate_ = ReadCertificateInfo(X509_STORE_CTX_get0_cert(store));
        LogMessage(connection->log_, kLevelStatus, msg::kCertificateInfo,
                   FormatValidityTime(connection->certificate_.validFrom),
                   FormatValidityTime(connection->certificate_.validTo));
    }
    if (preverified == 1) return 1;
    const bool accept = connection->options_.acceptUntrusted;
    LogVerifyFailure(connection->log_, X509_STORE_CTX_get_error(store),
                     X509_STORE_CTX_get_current_cert(store), connection->peerName_, accept);
    if (!accept) {
        connection->decision_ = 0;
        return 0;
    }
    connection->untrusted_ = true;
    return 1;
}

}  // namespace tellweir
