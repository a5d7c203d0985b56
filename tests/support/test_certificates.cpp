// Making keys and certificates with the OpenSSL API.
#include "tests/support/test_certificates.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace tellweir::testing {
namespace {

struct Free {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
    void operator()(X509* certificate) const { X509_free(certificate); }
    void operator()(X509_EXTENSION* extension) const { X509_EXTENSION_free(extension); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, Free>;
using CertificatePtr = std::unique_ptr<X509, Free>;
using ExtensionPtr = std::unique_ptr<X509_EXTENSION, Free>;

// Serial numbers differ within the process, so no two test certificates look alike.
long NextSerial() {
    static std::atomic<long> serial{1000};
    return ++serial;
}

template <class T, class Write>
bool WritePem(const std::string& path, T* object, Write write) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) return false;
    const bool written = write(file, object) == 1;
    return std::fclose(file) == 0 && written;
}

bool AddExtension(X509* certificate, X509V3_CTX& context, int nid, const std::string& value) {
    ExtensionPtr extension(X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str()));
    return extension && X509_add_ext(certificate, extension.get(), -1) == 1;
}

bool AddExtensions(X509* certificate, X509* issuer, const CertificateSpec& spec) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    if (spec.authority) {
        return AddExtension(certificate, context, NID_basic_constraints, "critical,CA:TRUE") &&
               AddExtension(certificate, context, NID_key_usage, "critical,keyCertSign,cRLSign");
    }
    std::string names;
    for (const std::string& name : spec.altNames)
        names += (names.empty() ? "" : ",") + name;
    return AddExtension(certificate, context, NID_basic_constraints, "CA:FALSE") &&
           (names.empty() || AddExtension(certificate, context, NID_subject_alt_name, names));
}

KeyPtr ReadKey(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr) return nullptr;
    KeyPtr key(PEM_read_PrivateKey(file, nullptr, nullptr, nullptr));
    std::fclose(file);
    return key;
}

CertificatePtr ReadCertificate(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr) return nullptr;
    CertificatePtr certificate(PEM_read_X509(file, nullptr, nullptr, nullptr));
    std::fclose(file);
    return certificate;
}

}  // namespace

bool MakeCertificate(const TempDir& dir, const std::string& name, const CertificateSpec& spec,
                     const MadeCertificate* issuer, MadeCertificate& made, std::string& error) {
    made = MadeCertificate{{dir / (name + ".crt"), dir / (name + ".key")}, "CN=" + spec.commonName};
    KeyPtr key(EVP_EC_gen("P-256"));
    CertificatePtr certificate(X509_new());
    if (!key || !certificate) {
        error = "cannot make a key";
        return false;
    }
    KeyPtr issuerKey;
    CertificatePtr issuerCertificate;
    if (issuer != nullptr) {
        issuerKey = ReadKey(issuer->files.keyPath);
        issuerCertificate = ReadCertificate(issuer->files.certificatePath);
        if (!issuerKey || !issuerCertificate) {
            error = "cannot read the issuer " + issuer->files.certificatePath;
            return false;
        }
    }
    X509* self = certificate.get();
    const std::time_t now = std::time(nullptr);
    made.notBefore = now + spec.validFrom;
    made.notAfter = now + spec.validTo;
    X509_NAME* subject = X509_get_subject_name(self);
    X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char*>(spec.commonName.c_str()), -1,
                               -1, 0);
    const bool built =
        X509_set_version(self, X509_VERSION_3) == 1 &&
        ASN1_INTEGER_set(X509_get_serialNumber(self), NextSerial()) == 1 &&
        ASN1_TIME_set(X509_getm_notBefore(self), made.notBefore) != nullptr &&
        ASN1_TIME_set(X509_getm_notAfter(self), made.notAfter) != nullptr &&
        X509_set_issuer_name(
            self, issuer ? X509_get_subject_name(issuerCertificate.get()) : subject) == 1 &&
        X509_set_pubkey(self, key.get()) == 1 &&
        AddExtensions(self, issuer ? issuerCertificate.get() : self, spec) &&
        X509_sign(self, issuer ? issuerKey.get() : key.get(), EVP_sha256()) > 0;
    if (!built) {
        error = "cannot build the certificate " + name;
        return false;
    }
    if (!WritePem(made.files.keyPath, key.get(),
                  [](std::FILE* file, EVP_PKEY* k) {
                      return PEM_write_PrivateKey(file, k, nullptr, nullptr, 0, nullptr, nullptr);
                  }) ||
        !WritePem(made.files.certificatePath, self, PEM_write_X509)) {
        error = "cannot write the files of " + name;
        return false;
    }
    return true;
}

ScopedTrust::ScopedTrust(const MadeCertificate& authority) {
    ::setenv("SSL_CERT_FILE", authority.files.certificatePath.c_str(), 1);
}

ScopedTrust::~ScopedTrust() {
    ::unsetenv("SSL_CERT_FILE");
}

std::string GmtText(std::time_t time) {
    std::tm parts{};
    ::gmtime_r(&time, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S GMT", &parts);
    return text;
}

}  // namespace tellweir::testing
