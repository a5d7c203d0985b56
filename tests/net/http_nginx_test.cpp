// The HTTP session against a real nginx on 127.0.0.1: file information from HEAD, downloads
// (whole, resumed with a range, gzip-encoded and chunked), redirects, refusals, keep-alive, and
// the same over HTTPS and through HTTP, CONNECT and SOCKS proxies; a server with a certificate
// of its own and the setting that accepts it.
#include <sys/stat.h>
#include <utime.h>

#include <ctime>

#include "base/text_format.h"
#include "net/protocol_props.h"
#include "tests/net/http_session_fixture.h"
#include "tests/support/nginx_server.h"
#include "tests/support/real_servers.h"
#include "tests/support/test_certificates.h"
#include "transfer/file_info.h"

namespace tellweir::testing {
namespace {

constexpr std::time_t kModified = 1700000000;  // 2023-11-14 22:13:20 UTC

const char* const kDirectives = R"(
        gzip on;
        gzip_types text/plain;
        gzip_min_length 1;
        location = /old.txt { return 301 /data.bin; }
        location = /away { return 302 http://elsewhere.test/page; }
        location = /secret.txt { return 403; }
)";

std::string Pattern(std::size_t size) {
    std::string bytes(size, '\0');
    std::uint32_t x = 12345;
    for (char& c : bytes) {
        x = x * 1103515245 + 12345;
        c = static_cast<char>(x >> 23);
    }
    return bytes;
}

class HttpNginxTest : public HttpSessionTest {
  protected:
    void SetUp() override {
        HttpSessionTest::SetUp();
        data_ = Pattern(300000);
        text_ = std::string(20000, 'x') + "end of text\n";
        Put("data.bin", data_);
        Put("page.html", "<html><body>page</body></html>");
        Put("text.txt", text_);
    }

    void Put(const std::string& name, const std::string& content) {
        ::mkdir((www_ / "www").c_str(), 0755);
        const std::string path = www_.WriteFile("www/" + name, content);
        const utimbuf times{kModified, kModified};
        ::utime(path.c_str(), &times);
    }

    void StartPlain() { ASSERT_TRUE(StartNginx(nginx_, www_, {kDirectives})) << nginx_.error; }

    std::string Url(const std::string& path, bool https = false) const {
        return std::string(https ? "https" : "http") +
               "://127.0.0.1:" + std::to_string(https ? tls_.port : nginx_.port) + path;
    }

    TempDir www_{"nginx"};
    RealServer nginx_;
    RealServer tls_;
    std::string data_;
    std::string text_;
};

TEST_F(HttpNginxTest, FileInformationFromHead) {
    StartPlain();
    RefPtr<CHttpSession> session = NewSession();
    auto transfer = NewTransfer(Url("/page.html"));
    ASSERT_EQ(session->GetFileInfo(*transfer, &log_), 0) << log_.Text();
    EXPECT_EQ(transfer->Int64(prop::kSize), 30);
    EXPECT_EQ(transfer->Int(prop::kSizeKnown), 1);
    EXPECT_EQ(transfer->String(prop::kContentType), "text/html");
    EXPECT_EQ(transfer->String(prop::kETag), Format("\"%x-%x\"", kModified, 30));
    std::tm local{};
    ::localtime_r(&kModified, &local);
    char expected[32];
    std::strftime(expected, sizeof expected, "%m/%d/%Y %H:%M:%S", &local);
    EXPECT_EQ(transfer->String(prop::kTimeModified), expected);
    EXPECT_EQ(transfer->String(prop::kStatusLine), "HTTP/1.1 200 OK\r");
}

TEST_F(HttpNginxTest, StatusesAndRedirects) {
    StartPlain();
    struct Case {
        const char* path;
        TransferResult result;
        const char* redirPath;
    } const cases[] = {
        {"/missing.txt", result::kRemoteNotFound, ""},
        {"/secret.txt", result::kHttp4xx, ""},
        {"/old.txt", 0, "/data.bin"},
        {"/away", result::kHttpRedirectOutside, ""},
    };
    RefPtr<CHttpSession> session = NewSession();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        auto transfer = NewTransfer(Url(c.path));
        EXPECT_EQ(session->GetFileInfo(*transfer, &log_), c.result) << log_.Text();
        EXPECT_EQ(transfer->String(prop::kRedirPath), c.redirPath);
        if (c.result == 0) {
            EXPECT_EQ(transfer->Int64(prop::kSize), static_cast<std::int64_t>(data_.size()));
        }
    }
    EXPECT_EQ(session->ProxyUrl(), "");
}

TEST_F(HttpNginxTest, DownloadsWholeResumedAndGzipped) {
    StartPlain();
    RefPtr<CHttpSession> session = NewSession();
    {
        auto transfer = NewTransfer(Url("/data.bin"));
        ASSERT_EQ(Download(*session, *transfer, "whole"), 0) << log_.Text();
        EXPECT_TRUE(dir_.ReadFile("whole") == data_);
    }
    {
        dir_.WriteFile("part", data_.substr(0, 100000));
        auto transfer = NewTransfer(Url("/data.bin"));
        ASSERT_EQ(Download(*session, *transfer, "part"), 0) << log_.Text();
        EXPECT_TRUE(dir_.ReadFile("part") == data_);
        EXPECT_EQ(transfer->String(prop::kStatusLine), "HTTP/1.1 206 Partial Content\r");
    }
    {
        // The full download step: nginx sends the text gzip-encoded and chunked; the step
        // unpacks it into place.
        auto transfer = NewTransfer(Url("/text.txt"));
        transfer->SetString(prop::kLocalFile, dir_ / "text.txt");
        CProgressMeter meter(*transfer, CProgressMeter::Direction::Download);
        ASSERT_EQ(session->DownloadToFile(*transfer, &log_, meter), 0) << log_.Text();
        EXPECT_EQ(transfer->String(prop::kContentEncoding), "gzip");
        EXPECT_EQ(dir_.ReadFile("text.txt"), text_);
        EXPECT_NE(log_.Find("Transfer-Encoding: chunked"), -1);
    }
    int connects = 0;
    for (const std::string& line : log_.Lines())
        connects += line.starts_with("0|Connecting to ");
    EXPECT_EQ(connects, 1) << "one kept-alive connection for all three";
}

enum class Via { Direct, HttpProxy, Socks5 };

// An nginx serving "data.bin" over HTTPS with `certificate`.
void StartTlsNginx(RealServer& server, const TempDir& dir, const Certificate& certificate,
                   const std::string& data) {
    ::mkdir((dir / "www").c_str(), 0755);
    dir.WriteFile("www/data.bin", data);
    NginxOptions options;
    options.certificate = &certificate;
    ASSERT_TRUE(StartNginx(server, dir, options)) << server.error;
}

TEST_F(HttpNginxTest, HttpAndHttpsDirectAndThroughProxies) {
    StartPlain();
    // The server's certificate comes from an authority the client is told to trust, and names
    // 127.0.0.1, the target every case asks for, proxies or not.
    CertificateSpec authoritySpec;
    authoritySpec.authority = true;
    authoritySpec.commonName = "Tellweir Test CA";
    MadeCertificate authority;
    MadeCertificate certificate;
    std::string error;
    ASSERT_TRUE(MakeCertificate(www_, "ca", authoritySpec, nullptr, authority, error)) << error;
    ASSERT_TRUE(MakeCertificate(www_, "server", {}, &authority, certificate, error)) << error;
    const ScopedTrust trust(authority);
    TempDir tlsDir("nginx-tls");
    StartTlsNginx(tls_, tlsDir, certificate.files, data_);
    TempDir proxyDir("proxy");
    RealServer tinyproxy;
    ASSERT_TRUE(StartTinyproxy(tinyproxy, proxyDir, tls_.port)) << tinyproxy.error;
    RealServer socks;
    ASSERT_TRUE(StartMicrosocks(socks)) << socks.error;

    struct Case {
        const char* name;
        bool https;
        std::string proxy;
    } const cases[] = {
        {"http direct", false, ""},
        {"https direct", true, ""},
        {"http through an HTTP proxy", false, "http://127.0.0.1:" + std::to_string(tinyproxy.port)},
        {"https through CONNECT", true, "https://127.0.0.1:" + std::to_string(tinyproxy.port)},
        {"http through SOCKS5", false, "socks5://127.0.0.1:" + std::to_string(socks.port)},
        {"https through SOCKS5", true, "socks5://127.0.0.1:" + std::to_string(socks.port)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingLog log;
        RefPtr<CHttpSession> session = NewSession(c.proxy);
        auto transfer = NewTransfer(Url("/data.bin", c.https));
        ASSERT_EQ(session->GetFileInfo(*transfer, &log), 0) << log.Text();
        EXPECT_EQ(transfer->Int64(prop::kSize), static_cast<std::int64_t>(data_.size()));
        const std::string name = std::string("via-") + (c.https ? "s" : "p") + c.proxy.substr(0, 4);
        ASSERT_EQ(Download(*session, *transfer, name), 0) << log.Text();
        EXPECT_TRUE(dir_.ReadFile(name) == data_);
        const bool absolute = c.proxy.starts_with("http://");
        EXPECT_EQ(log.Find("2|HEAD http://127.0.0.1:") != -1, absolute) << log.Text();
        EXPECT_EQ(log.Find("Proxy-Connection: Keep-Alive") != -1, absolute);
        EXPECT_EQ(log.Has("0|Server certificate verified for \"127.0.0.1\"."), c.https);
    }
}

// A server with a certificate of its own (an intranet server) is refused by default, and
// usable once "Connections/Accept Untrusted Certificates" is set.
TEST_F(HttpNginxTest, SelfSignedServerNeedsTheSettingForUntrustedCertificates) {
    MadeCertificate certificate;
    std::string error;
    ASSERT_TRUE(MakeCertificate(www_, "self", {}, nullptr, certificate, error)) << error;
    TempDir tlsDir("nginx-tls");
    StartTlsNginx(tls_, tlsDir, certificate.files, data_);
    for (const int accept : {0, 1}) {
        SCOPED_TRACE(accept);
        settings_.SetInt(setting::kAcceptUntrustedCertificates, accept);
        RecordingLog log;
        RefPtr<CHttpSession> session = NewSession();
        auto transfer = NewTransfer(Url("/data.bin", true));
        EXPECT_EQ(session->GetFileInfo(*transfer, &log), accept ? 0 : result::kTlsFailed)
            << log.Text();
        const std::string reason =
            std::string(accept ? "accepted although not trusted" : "rejected") +
            ": it is self-signed";
        EXPECT_NE(log.Find("1|Server certificate " + reason), -1) << log.Text();
        EXPECT_EQ(session->IsConnected(), accept == 1);
    }
}

}  // namespace
}  // namespace tellweir::testing
