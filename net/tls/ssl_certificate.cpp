// Reading names and validity times out of a certificate.
#include "net/tls/ssl_certificate.h"

#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <algorithm>
#include <cstring>
#include <ctime>

namespace tellweir {
namespace {

constexpr std::size_t kUtcTimeLength = 13;

std::string NameEntry(const X509_NAME* name, int nid) {
    if (name == nullptr) return {};
    char text[256] = {};
    if (X509_NAME_get_text_by_NID(name, nid, text, sizeof text) < 0) return {};
    return text;
}

CertificateName ReadName(const X509_NAME* name) {
    return {NameEntry(name, NID_commonName), NameEntry(name, NID_countryName),
            NameEntry(name, NID_organizationName), NameEntry(name, NID_organizationalUnitName)};
}

std::string StoredTime(const ASN1_TIME* time) {
    if (time == nullptr) return {};
    const unsigned char* data = ASN1_STRING_get0_data(time);
    const int length = ASN1_STRING_length(time);
    if (data == nullptr || length <= 0) return {};
    return std::string(reinterpret_cast<const char*>(data), static_cast<std::size_t>(length));
}

// The subject in RFC 2253 form ("CN=host.test,O=Org").
std::string OneLineName(const X509_NAME* name) {
    BIO* text = BIO_new(BIO_s_mem());
    if (text == nullptr) return {};
    std::string line;
    if (X509_NAME_print_ex(text, name, 0, XN_FLAG_RFC2253) >= 0) {
        char* data = nullptr;
        const long length = BIO_get_mem_data(text, &data);
        if (data != nullptr && length > 0) line.assign(data, static_cast<std::size_t>(length));
    }
    BIO_free(text);
    return line;
}

// Either stored form (UTCTime or GeneralizedTime) as "YYYY-MM-DD HH:MM:SS GMT".
std::string FullTime(const ASN1_TIME* time) {
    std::tm parts{};
    if (time == nullptr || ASN1_TIME_to_tm(time, &parts) != 1) return "?";
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S GMT", &parts);
    return text;
}

// Hands the pass phrase to the PEM reader.
int PassPhraseCallback(char* buffer, int size, int, void* data) {
    const auto* phrase = static_cast<const std::string*>(data);
    const int length = std::min(size, static_cast<int>(phrase->size()));
    std::memcpy(buffer, phrase->data(), static_cast<std::size_t>(length));
    return length;
}

X509* ReadCertificateFile(const std::string& path) {
    if (path.empty()) return nullptr;
    BIO* file = BIO_new_file(path.c_str(), "r");
    if (file == nullptr) return nullptr;
    X509* certificate = PEM_read_bio_X509(file, nullptr, nullptr, nullptr);
    BIO_free(file);
    return certificate;
}

EVP_PKEY* ReadKeyFile(const std::string& path, const std::string& passPhrase) {
    if (path.empty()) return nullptr;
    BIO* file = BIO_new_file(path.c_str(), "r");
    if (file == nullptr) return nullptr;
    EVP_PKEY* key = PEM_read_bio_PrivateKey(file, nullptr, PassPhraseCallback,
                                            const_cast<std::string*>(&passPhrase));
    BIO_free(file);
    return key;
}

}  // namespace

bool LoadClientCertificate(const ClientCertificate& client, X509** certificate, EVP_PKEY** key) {
    X509* loaded = ReadCertificateFile(client.certificateFile);
    EVP_PKEY* loadedKey = ReadKeyFile(client.keyFile, client.passPhrase);
    if (loaded == nullptr || loadedKey == nullptr) {
        X509_free(loaded);
        EVP_PKEY_free(loadedKey);
        return false;
    }
    *certificate = loaded;
    *key = loadedKey;
    return true;
}

bool IsClientCertificate(const ClientCertificate& client, X509_STORE* store,
                         const X509* presented) {
    X509* loaded = ReadCertificateFile(client.certificateFile);
    if (loaded == nullptr) return false;
    if (store != nullptr) X509_STORE_add_cert(store, loaded);
    const bool same = presented != nullptr && X509_cmp(presented, loaded) == 0;
    X509_free(loaded);
    return same;
}

CertificateInfo ReadCertificateInfo(const X509* certificate) {
    CertificateInfo info;
    if (certificate == nullptr) return info;
    info.subject = ReadName(X509_get_subject_name(certificate));
    info.issuer = ReadName(X509_get_issuer_name(certificate));
    info.validFrom = StoredTime(X509_get0_notBefore(certificate));
    info.validTo = StoredTime(X509_get0_notAfter(certificate));
    return info;
}

std::string DescribeCertificate(const X509* certificate) {
    if (certificate == nullptr) return "no certificate";
    return "subject \"" + OneLineName(X509_get_subject_name(certificate)) + "\", valid from " +
           FullTime(X509_get0_notBefore(certificate)) + " to " +
           FullTime(X509_get0_notAfter(certificate));
}

std::string FormatValidityTime(std::string_view stored) {
    if (stored.size() != kUtcTimeLength) return {};
    const auto pair = [&](std::size_t at) { return std::string(stored.substr(at, 2)); };
    // Stored as year, month, day, hour, minute, second.
    return pair(2) + "/" + pair(4) + "/" + pair(0) + " " + pair(6) + ":" + pair(8) + ":" +
           pair(10) + " GMT";
}

}  // namespace tellweir
