// SSLConnection: library start-up, creating and configuring a connection, the handshake and its
// callbacks, reading, writing and shutting down.
#include "net/tls/ssl_connection.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

#include <mutex>
#include <string>

#include "net/net_log.h"
#include "net/socket/resolve.h"
#include "net/socket/socket_error.h"
#include "net/tls/ssl_bio.h"
#include "net/tls/ssl_trace.h"

namespace tellweir {
namespace {

constexpr std::string_view kMethodLines[] = {
    "SSL/TLS client method SSLv2.",
    "SSL/TLS client method SSLv3 but can rollback to v2.",
    "SSL/TLS client method SSLv3.",
    "SSL/TLS client method TLSv1.0.",
};
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

SSLConnection::SSLConnection(IRawTransport& transport, ILog* log, const ClientCertificate& client)
    : transport_(transport), log_(log), client_(client) {}

SSLConnection::~SSLConnection() {
    Release();
}

std::unique_ptr<SSLConnection> SSLConnection::Create(std::int32_t method, IRawTransport& transport,
                                                     ILog* log, std::string_view serverName,
                                                     const ClientCertificate& client) {
    std::unique_ptr<SSLConnection> connection(new SSLConnection(transport, log, client));
    const bool established = connection->Configure(method, serverName) && connection->Handshake();
    connection->log_ = nullptr;
    ERR_clear_error();
    if (!established) return nullptr;
    return connection;
}

bool SSLConnection::Configure(std::int32_t method, std::string_view serverName) {
    state_ = kIdle;
    if (method < 0 || method >= std::int32_t(std::size(kMethodLines))) {
        LogText(log_, kLevelError, kUnknownMethod);
        return false;
    }
    LogText(log_, kLevelStatus, kMethodLines[method]);
    versionFlexible_ = method == 1;
    context_ = SSL_CTX_new(TLS_client_method());
    if (context_ == nullptr) {
        LogText(log_, kLevelError, kUnknownMethod);
        return false;
    }
    SSL_CTX_set_min_proto_version(context_, TLS1_2_VERSION);
    // A server that just closes ends the data like a close notification (HTTP/1.0 bodies).
    SSL_CTX_set_options(context_, SSL_OP_IGNORE_UNEXPECTED_EOF);
    SSL_CTX_set_client_cert_cb(context_, ClientCertCallback);
    SSL_CTX_set_verify(context_, SSL_VERIFY_PEER, VerifyCallback);
    SSL_CTX_set_trust(context_, X509_TRUST_SSL_CLIENT);
    SSL_CTX_set_cert_verify_callback(context_, VerifyHook, this);

    session_ = SSL_new(context_);
    BIO* channel = session_ != nullptr ? ChannelBio::New(*this) : nullptr;
    if (channel == nullptr) return false;
    SSL_set_app_data(session_, this);
    SSL_set_bio(session_, channel, channel);
    if (!serverName.empty() && !ParseDottedAddress(serverName)) {
        SSL_set_tlsext_host_name(session_, std::string(serverName).c_str());
    }
    state_ = kHandshaking;
    SSL_set_msg_callback(session_, MessageCallback);
    SSL_set_msg_callback_arg(session_, this);
    return true;
}

bool SSLConnection::Handshake() {
    if (SSL_connect(session_) == 1 && state_ != kFailed) {
        state_ = kEstablished;
        return true;
    }
    Release();
    state_ = kIdle;
    return false;
}

std::int32_t SSLConnection::Read(void* buffer, std::int32_t size) {
    if (session_ == nullptr) return -1;
    ERR_clear_error();
    return SSL_read(session_, buffer, size);
}

std::int32_t SSLConnection::Write(const void* data, std::int32_t length) {
    if (session_ == nullptr) return -1;
    ERR_clear_error();
    return SSL_write(session_, data, length);
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

int SSLConnection::VerifyCallback(int, X509_STORE_CTX* store) {
    const auto* ssl = static_cast<const SSL*>(
        X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    SSLConnection* connection = FromSsl(ssl);
    if (connection == nullptr) return 0;
    // Every certificate is accepted; only the first one seen is recorded and logged.
    if (connection->decision_ == -1) {
        connection->certificate_ = ReadCertificateInfo(X509_STORE_CTX_get_current_cert(store));
        LogMessage(connection->log_, kLevelStatus, msg::kCertificateInfo,
                   FormatValidityTime(connection->certificate_.validFrom),
                   FormatValidityTime(connection->certificate_.validTo));
        LogMessage(connection->log_, kLevelStatus, msg::kCertificateAccepted);
        connection->decision_ = 1;
    }
    return connection->decision_ == 1 ? 1 : 0;
}

}  // namespace tellweir
