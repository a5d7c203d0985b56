// Verification failures in plain words.
#include "net/tls/ssl_verify.h"

#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

#include "base/text_format.h"
#include "net/net_log.h"
#include "net/tls/ssl_certificate.h"

namespace tellweir {

std::string VerifyFailureWords(int error, std::string_view peerName) {
    switch (error) {
        case X509_V_ERR_CERT_HAS_EXPIRED:
            return "it has expired";
        case X509_V_ERR_CERT_NOT_YET_VALID:
            return "it is not yet valid";
        case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
            return "it is self-signed";
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
        case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
            return "its issuer is unknown";
        case X509_V_ERR_HOSTNAME_MISMATCH:
        case X509_V_ERR_IP_ADDRESS_MISMATCH:
            return Format("its names do not include \"%s\"", peerName);
        default:
            return X509_verify_cert_error_string(error);
    }
}

void LogVerifyFailure(ILog* log, int error, const X509* certificate, std::string_view peerName,
                      bool accepted) {
    LogFormat(log, kLevelError, "Server certificate %s: %s (%s).",
              accepted ? "accepted although not trusted" : "rejected",
              VerifyFailureWords(error, peerName), DescribeCertificate(certificate));
}

}  // namespace tellweir
