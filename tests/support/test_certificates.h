// Certificates made in-process with OpenSSL for the TLS tests: a test authority and server
// certificates that it issues or that sign themselves, with the names and validity a case needs
// (dates in the past or the future included), written as PEM files into a test's TempDir.
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "tests/support/real_servers.h"
#include "tests/support/temp_dir.h"

namespace tellweir::testing {

struct CertificateSpec {
    std::string commonName = "127.0.0.1";
    // subjectAltName entries as OpenSSL writes them: "IP:127.0.0.1", "DNS:localhost".
    std::vector<std::string> altNames = {"IP:127.0.0.1"};
    // The validity, in seconds from now; negative is in the past.
    long validFrom = -3600;
    long validTo = 30L * 24 * 3600;
    bool authority = false;  // may issue certificates (CA:TRUE)
};

struct MadeCertificate {
    Certificate files;    // the PEM certificate and its key
    std::string subject;  // as the failure lines show it: "CN=127.0.0.1"
    std::time_t notBefore = 0;
    std::time_t notAfter = 0;
};

// Makes an EC key and a certificate for it as "<name>.crt" and "<name>.key" in `dir`, issued by
// `issuer` or, when that is null, signed by itself. False with the reason in `error`.
bool MakeCertificate(const TempDir& dir, const std::string& name, const CertificateSpec& spec,
                     const MadeCertificate* issuer, MadeCertificate& made, std::string& error);

// While it lives, the TLS client trusts `authority` (through SSL_CERT_FILE) instead of the
// system's store file.
class ScopedTrust {
  public:
    explicit ScopedTrust(const MadeCertificate& authority);
    ~ScopedTrust();
    ScopedTrust(const ScopedTrust&) = delete;
    ScopedTrust& operator=(const ScopedTrust&) = delete;
};

// `time` as the TLS failure lines show validity: "2025-01-02 03:04:05 GMT".
std::string GmtText(std::time_t time);

}  // namespace tellweir::testing
