// What the TLS client records about the server's certificate: names and validity times, and the
// texts written into the transfer log about it.
#pragma once

#include <openssl/types.h>

#include <string>
#include <string_view>

namespace tellweir {

struct CertificateName {
    std::string commonName;
    std::string country;
    std::string organization;
    std::string organizationalUnit;
};

struct CertificateInfo {
    CertificateName subject;
    CertificateName issuer;
    std::string validFrom;  // as stored: "YYMMDDHHMMSSZ" (UTCTime) or "YYYYMMDDHHMMSSZ"
    std::string validTo;
};

CertificateInfo ReadCertificateInfo(const X509* certificate);

// A client certificate to offer when the server asks for one. The program never configures one,
// so such a server makes the handshake fail.
struct ClientCertificate {
    std::string certificateFile;  // PEM
    std::string keyFile;          // PEM
    std::string passPhrase;
};

// Loads the certificate and its private key; false (nothing loaded) unless both load.
bool LoadClientCertificate(const ClientCertificate& client, X509** certificate, EVP_PKEY** key);

// Loads the certificate of `client` into `store`; true when `presented` is that certificate.
bool IsClientCertificate(const ClientCertificate& client, X509_STORE* store, const X509* presented);

// The certificate as a failure line names it: its subject in one line and its validity in full,
// "subject "CN=host.test,O=Org", valid from 2025-01-02 03:04:05 GMT to 2026-01-02 03:04:05 GMT".
std::string DescribeCertificate(const X509* certificate);

// A stored UTCTime "YYMMDDHHMMSSZ" as "MM/DD/YY HH:MM:SS GMT"; a text of any other length (a
// GeneralizedTime) gives an empty text.
std::string FormatValidityTime(std::string_view stored);

}  // namespace tellweir
