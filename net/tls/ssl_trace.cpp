// Handshake state names and trace lines.
#include "net/tls/ssl_trace.h"

#include <openssl/ssl.h>

#include "log/status_message.h"

namespace tellweir {
namespace {

constexpr int kChangeCipherSpec = 20;
constexpr int kAlert = 21;
constexpr int kHandshake = 22;

struct StateRow {
    OSSL_HANDSHAKE_STATE state;
    std::string_view name;
};

// The classic "A" state (about to read or write) of each client step that still exists.
constexpr StateRow kClientStates[] = {
    {TLS_ST_CW_CLNT_HELLO, "SSLv3 SSL3_ST_CW_CLNT_HELLO_A"},
    {TLS_ST_CR_SRVR_HELLO, "SSLv3 SSL3_ST_CR_SRVR_HELLO_A"},
    {TLS_ST_CR_CERT, "SSLv3 SSL3_ST_CR_CERT_A"},
    {TLS_ST_CR_KEY_EXCH, "SSLv3 SSL3_ST_CR_KEY_EXCH_A"},
    {TLS_ST_CR_CERT_REQ, "SSLv3 SSL3_ST_CR_CERT_REQ_A"},
    {TLS_ST_CR_SRVR_DONE, "SSLv3 SSL3_ST_CR_SRVR_DONE_A"},
    {TLS_ST_CW_CERT, "SSLv3 SSL3_ST_CW_CERT_A"},
    {TLS_ST_CW_KEY_EXCH, "SSLv3 SSL3_ST_CW_KEY_EXCH_A"},
    {TLS_ST_CW_CERT_VRFY, "SSLv3 SSL3_ST_CW_CERT_VRFY_A"},
    {TLS_ST_CW_CHANGE, "SSLv3 SSL3_ST_CW_CHANGE_A"},
    {TLS_ST_CW_FINISHED, "SSLv3 SSL3_ST_CW_FINISHED_A"},
    {TLS_ST_CR_CHANGE, "SSLv3 SSL3_ST_CR_CHANGE_A"},
    {TLS_ST_CR_FINISHED, "SSLv3 SSL3_ST_CR_FINISHED_A"},
};

}  // namespace

std::string_view HandshakeStateName(int state, bool versionFlexible) {
    if (versionFlexible) {
        if (state == TLS_ST_CW_CLNT_HELLO) return "SSLv23 SSL23_ST_CW_CLNT_HELLO_A";
        if (state == TLS_ST_CR_SRVR_HELLO) return "SSLv23 SSL23_ST_CR_SRVR_HELLO_A";
    }
    for (const StateRow& row : kClientStates) {
        if (row.state == state) return row.name;
    }
    return "?";
}

bool IsTracedContentType(int contentType) {
    return contentType != SSL3_RT_HEADER && contentType != SSL3_RT_INNER_CONTENT_TYPE;
}

void TraceMessage(ILog& log, bool sent, int contentType, std::string_view stateName) {
    const char* direction = sent ? "sent" : "received";
    switch (contentType) {
        case kChangeCipherSpec:
        case kHandshake:
            log.WriteFormat(kLevelStatus, "SSL handshake: state: %s %s.", stateName, direction);
            break;
        case kAlert:
            log.WriteFormat(kLevelStatus, "SSL alert %s.", direction);
            break;
        default:
            log.WriteFormat(kLevelStatus, "SSL: state: %s.", stateName);
            break;
    }
}

}  // namespace tellweir
