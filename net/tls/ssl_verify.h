// Server certificate verification in the transfer log: why the library refused a certificate,
// in plain words, with that certificate's own subject and validity.
#pragma once

#include <openssl/types.h>

#include <string>
#include <string_view>

#include "log/log.h"

namespace tellweir {

// Plain words for a verification error of the library (an X509_V_ERR_ value): "it has
// expired", "it is not yet valid", "it is self-signed", "its issuer is unknown", "its names do
// not include "<peerName>""; any other error gives the library's own text.
std::string VerifyFailureWords(int error, std::string_view peerName);

// Writes, at level 1, "Server certificate rejected: <words> (<certificate>)." or, when the
// failure is `accepted` ("Connections/Accept Untrusted Certificates"), "Server certificate
// accepted although not trusted: <words> (<certificate>).", the certificate being the one the
// error is about (DescribeCertificate).
void LogVerifyFailure(ILog* log, int error, const X509* certificate, std::string_view peerName,
                      bool accepted);

}  // namespace tellweir
