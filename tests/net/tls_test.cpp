// TLS over the socket against `openssl s_server` with certificates made at test time by a test
// authority the client is told to trust: directly and through tinyproxy's CONNECT tunnel, the
// method and negotiation lines, certificate verification (each reason a certificate is refused,
// and the setting that accepts it anyway), and TLS failures after the handshake.
#include <gtest/gtest.h>

#include <ctime>
#include <optional>
#include <regex>
#include <string>

#include "net/net_startup.h"
#include "net/socket/idle_connection.h"
#include "net/socket/net_socket.h"
#include "net/socket/socket_error.h"
#include "net/tls/ssl_certificate.h"
#include "tests/net/net_test_util.h"
#include "tests/support/real_servers.h"
#include "tests/support/recording_log.h"
#include "tests/support/test_certificates.h"
#include "tests/support/tls_scripted_server.h"

namespace tellweir {
namespace {

using testing::CertificateSpec;
using testing::MadeCertificate;
using testing::RealServer;
using testing::RecordingLog;

constexpr long kDay = 24 * 3600;
constexpr TlsOptions kTlsV1{3, false};
constexpr TlsOptions kAcceptUntrusted{3, true};

// The validity as the certificate info line shows it: "MM/DD/YY HH:MM:SS GMT".
std::string ValidityText(std::time_t time) {
    std::tm parts{};
    ::gmtime_r(&time, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%m/%d/%y %H:%M:%S GMT", &parts);
    return text;
}

std::string InfoLine(const MadeCertificate& certificate) {
    return "0|Server certificate info: valid from " + ValidityText(certificate.notBefore) +
           ", to " + ValidityText(certificate.notAfter) + ".";
}

// What the failure lines say about the certificate at fault.
std::string Described(const MadeCertificate& certificate) {
    return "(subject \"" + certificate.subject + "\", valid from " +
           testing::GmtText(certificate.notBefore) + " to " +
           testing::GmtText(certificate.notAfter) + ").";
}

int CountLines(const RecordingLog& log, const std::string& part) {
    int count = 0;
    for (const std::string& line : log.Lines())
        count += line.find(part) != std::string::npos ? 1 : 0;
    return count;
}

// A test authority, trusted for the test's duration, and servers with certificates it issues.
class NetTlsServer : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(Startup(true));
        CertificateSpec authority;
        authority.commonName = "Tellweir Test CA";
        authority.authority = true;
        authority.validFrom = -30 * kDay;
        authority.validTo = 3650 * kDay;
        ASSERT_TRUE(MakeCertificate(dir_, "ca", authority, nullptr, ca_, error_)) << error_;
        trust_.emplace(ca_);
    }

    // A server certificate issued by the test authority (or by `issuer`).
    MadeCertificate Make(const std::string& name, const CertificateSpec& spec = {},
                         const MadeCertificate* issuer = nullptr) {
        MadeCertificate made;
        EXPECT_TRUE(MakeCertificate(dir_, name, spec, issuer ? issuer : &ca_, made, error_))
            << error_;
        return made;
    }

    // `openssl s_server` that sends every line back reversed.
    void Serve(RealServer& server, const MadeCertificate& certificate,
               const std::vector<std::string>& args = {"-rev"}) {
        ASSERT_TRUE(testing::StartTlsServer(server, dir_, certificate.files, args)) << server.error;
    }

    bool Open(CNetSocket& socket, const RealServer& server, const TlsOptions& options,
              RecordingLog& log, const std::string& host = "127.0.0.1") {
        return socket.ConnectHost(host, server.port, nullptr) && socket.StartTls(options, &log);
    }

    testing::TempDir dir_{"tls"};
    MadeCertificate ca_;
    std::optional<testing::ScopedTrust> trust_;
    std::string error_;
};

TEST_F(NetTlsServer, CarriesBytesAndLogsTheHandshake) {
    const MadeCertificate certificate = Make("server");
    RealServer server;
    Serve(server, certificate);
    CNetSocket socket;
    RecordingLog log;
    testing::CountingObserver observer;
    ASSERT_TRUE(Open(socket, server, kTlsV1, log)) << log.Text() << server.process.Output();
    socket.SetObserver(&observer);
    EXPECT_EQ(testing::EchoRoundTrip(socket, "hello tls\n"), "slt olleh\n");
    EXPECT_EQ(observer.sent, 10);  // payload bytes, not the records on the wire
    EXPECT_EQ(observer.received, 10);

    EXPECT_EQ(log.Lines().front(),
              "0|SSL/TLS client method TLSv1.0 is served by TLS 1.2 or later.");
    // The server's own dates, not its issuer's.
    EXPECT_TRUE(log.Has(InfoLine(certificate))) << log.Text();
    EXPECT_EQ(CountLines(log, "Server certificate info"), 1);
    EXPECT_TRUE(log.Has("0|Server certificate verified for \"127.0.0.1\"."));
    static const std::regex kNegotiated(R"(0\|SSL/TLS negotiated: TLSv1\.3, cipher TLS_\w+\.)");
    EXPECT_TRUE(std::regex_match(log.Lines().back(), kNegotiated)) << log.Text();
    EXPECT_TRUE(log.Has("0|SSL handshake: state: SSLv3 SSL3_ST_CW_CLNT_HELLO_A sent."));
    EXPECT_TRUE(log.Has("0|SSL handshake: state: SSLv3 SSL3_ST_CR_SRVR_HELLO_A received."));
    EXPECT_NE(log.Find("0|SSL negotiate: "), -1);
    EXPECT_EQ(CountLines(log, "1|"), 0) << log.Text();
    EXPECT_EQ(socket.LastError(), 0);

    const std::size_t linesAfterHandshake = log.Lines().size();
    EXPECT_EQ(testing::EchoRoundTrip(socket, "again\n"), "niaga\n");
    EXPECT_EQ(log.Lines().size(), linesAfterHandshake);  // the log is the handshake's only
}

TEST_F(NetTlsServer, EveryMethodValueRunsTls12OrLaterAndTheLogNamesWhatWasNegotiated) {
    const MadeCertificate certificate = Make("server");
    RealServer modern;
    Serve(modern, certificate);
    RealServer tls12;
    Serve(tls12, certificate, {"-rev", "-tls1_2"});
    const struct {
        std::int32_t method;
        const RealServer* server;
        std::string methodLine;
        std::string version;
    } cases[] = {
        {0, &modern, "0|SSL/TLS client method SSLv2 is served by TLS 1.2 or later.", "TLSv1.3"},
        {1, &tls12, "0|SSL/TLS client method SSLv23 is served by TLS 1.2 or later.", "TLSv1.2"},
        {2, &tls12, "0|SSL/TLS client method SSLv3 is served by TLS 1.2 or later.", "TLSv1.2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.method);
        CNetSocket socket;
        RecordingLog log;
        ASSERT_TRUE(Open(socket, *c.server, TlsOptions{c.method, false}, log)) << log.Text();
        EXPECT_EQ(log.Lines().front(), c.methodLine);
        EXPECT_EQ(CountLines(log, "is served by"), 1);
        const int negotiated = log.Find("0|SSL/TLS negotiated: " + c.version + ", cipher ");
        EXPECT_NE(negotiated, -1) << log.Text();
        EXPECT_EQ(testing::EchoRoundTrip(socket, "ab\n"), "ba\n");
        if (c.method == 1) {
            EXPECT_TRUE(log.Has("0|SSL handshake: state: SSLv23 SSL23_ST_CW_CLNT_HELLO_A sent."))
                << log.Text();
        }
    }
}

TEST_F(NetTlsServer, UnknownMethodFailsWith1019AndClosesTheSocket) {
    RealServer server;
    Serve(server, Make("server"));
    CNetSocket socket;
    RecordingLog log;
    EXPECT_FALSE(Open(socket, server, TlsOptions{7, false}, log));
    EXPECT_EQ(socket.LastError(), result::kTlsFailed);
    EXPECT_FALSE(socket.IsOpen());
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{
                               "1|SSL/TLS client method is unknown or not specified correctly."}));

    CNetSocket closed;
    EXPECT_FALSE(closed.StartTls(kTlsV1, &log));
    EXPECT_EQ(closed.LastError(), result::kInvalidParameter);
    CNetSocket twice;
    ASSERT_TRUE(Open(twice, server, kTlsV1, log));
    EXPECT_FALSE(twice.StartTls(kTlsV1, &log));
    EXPECT_EQ(twice.LastError(), result::kInvalidParameter);
    EXPECT_TRUE(twice.IsOpen());
}

// Each reason a certificate is refused: 1019 with the reason in plain words and the refused
// certificate's own subject and dates; with "Accept Untrusted Certificates" the connection
// stands and the same reason is logged as an error.
TEST_F(NetTlsServer, RefusedCertificatesAndTheSettingThatAcceptsThem) {
    CertificateSpec otherAuthority;
    otherAuthority.commonName = "Unknown CA";
    otherAuthority.authority = true;
    MadeCertificate strangerCa;
    ASSERT_TRUE(MakeCertificate(dir_, "stranger-ca", otherAuthority, nullptr, strangerCa, error_))
        << error_;

    const auto spec = [](const char* name, long from, long to, const char* altName) {
        CertificateSpec made;
        made.commonName = name;
        made.validFrom = from;
        made.validTo = to;
        made.altNames = {altName};
        return made;
    };
    struct Case {
        const char* name;
        CertificateSpec spec;
        const MadeCertificate* issuer;  // null: signs itself
        std::string host;
        std::string words;
    };
    const Case cases[] = {
        {"expired", spec("expired.test", -10 * kDay, -kDay, "IP:127.0.0.1"), &ca_, "127.0.0.1",
         "it has expired"},
        {"not yet valid", spec("early.test", kDay, 10 * kDay, "IP:127.0.0.1"), &ca_, "127.0.0.1",
         "it is not yet valid"},
        {"self-signed", spec("self.test", -kDay, 10 * kDay, "IP:127.0.0.1"), nullptr, "127.0.0.1",
         "it is self-signed"},
        {"unknown issuer", spec("stranger.test", -kDay, 10 * kDay, "IP:127.0.0.1"), &strangerCa,
         "127.0.0.1", "its issuer is unknown"},
        {"address not named", spec("other.test", -kDay, 10 * kDay, "DNS:other.test"), &ca_,
         "127.0.0.1", "its names do not include \"127.0.0.1\""},
        {"name not named", spec("address.test", -kDay, 10 * kDay, "IP:127.0.0.1"), &ca_,
         "localhost", "its names do not include \"localhost\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MadeCertificate certificate;
        ASSERT_TRUE(MakeCertificate(dir_, c.name, c.spec, c.issuer, certificate, error_)) << error_;
        RealServer server;
        Serve(server, certificate);

        CNetSocket refused;
        RecordingLog log;
        EXPECT_FALSE(Open(refused, server, kTlsV1, log, c.host));
        EXPECT_EQ(refused.LastError(), result::kTlsFailed);
        EXPECT_FALSE(refused.IsOpen());
        EXPECT_TRUE(log.Has(InfoLine(certificate))) << log.Text();
        EXPECT_TRUE(
            log.Has("1|Server certificate rejected: " + c.words + " " + Described(certificate)))
            << log.Text();
        EXPECT_EQ(CountLines(log, "1|"), 1) << log.Text();

        CNetSocket accepted;
        RecordingLog acceptedLog;
        ASSERT_TRUE(Open(accepted, server, kAcceptUntrusted, acceptedLog, c.host))
            << acceptedLog.Text();
        EXPECT_TRUE(acceptedLog.Has("1|Server certificate accepted although not trusted: " +
                                    c.words + " " + Described(certificate)))
            << acceptedLog.Text();
        EXPECT_EQ(acceptedLog.Find("verified"), -1);
        EXPECT_EQ(testing::EchoRoundTrip(accepted, "ok\n"), "ko\n");
    }
}

TEST_F(NetTlsServer, NamesAreCheckedAsNamesAndAddressesAsAddresses) {
    CertificateSpec both;
    both.altNames = {"DNS:localhost", "IP:127.0.0.1"};
    RealServer server;
    Serve(server, Make("both", both));
    for (const std::string host : {"localhost", "127.0.0.1"}) {
        SCOPED_TRACE(host);
        CNetSocket socket;
        RecordingLog log;
        ASSERT_TRUE(Open(socket, server, kTlsV1, log, host)) << log.Text();
        EXPECT_TRUE(log.Has("0|Server certificate verified for \"" + host + "\"."));
    }
}

TEST_F(NetTlsServer, GeneralizedTimeGivesAnEmptyDateText) {
    CertificateSpec longLived;
    longLived.validTo = 12000 * kDay;  // ends after 2049
    RealServer server;
    Serve(server, Make("long", longLived));
    CNetSocket socket;
    RecordingLog log;
    ASSERT_TRUE(Open(socket, server, kTlsV1, log)) << log.Text();
    const int info = log.Find("Server certificate info");
    ASSERT_NE(info, -1);
    static const std::regex kFromOnly(
        R"(0\|Server certificate info: valid from \d\d/\d\d/\d\d \d\d:\d\d:\d\d GMT, to \.)");
    EXPECT_TRUE(std::regex_match(log.Lines()[static_cast<std::size_t>(info)], kFromOnly))
        << log.Text();
}

TEST_F(NetTlsServer, ServerAskingForAClientCertificateFailsTheHandshake) {
    RealServer server;
    Serve(server, Make("server"), {"-rev", "-verify", "1"});
    CNetSocket socket;
    RecordingLog log;
    EXPECT_FALSE(Open(socket, server, kTlsV1, log));
    EXPECT_EQ(socket.LastError(), result::kTlsFailed);
    EXPECT_FALSE(socket.IsOpen());
    EXPECT_NE(log.Find("1|No client certificate found."), -1) << log.Text();
}

TEST_F(NetTlsServer, IdleTlsConnectionWithOnlyProtocolRecordsPendingIsUsable) {
    RealServer server;
    Serve(server, Make("server"));
    CNetSocket socket;
    RecordingLog log;
    ASSERT_TRUE(Open(socket, server, kTlsV1, log));
    // TLS 1.3 servers send session tickets after the handshake: raw bytes with no data in them.
    char probe[8];
    std::int32_t size = sizeof probe;
    ASSERT_EQ(socket.WaitReadable(probe, size, 2000), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(TestIdleConnection(true, socket, nullptr));
    EXPECT_LT(testing::ElapsedMs(start), 1000);
    EXPECT_EQ(socket.Timeout(), CNetSocket::kDefaultTimeoutMs);
    EXPECT_EQ(testing::EchoRoundTrip(socket, "still fine\n"), "enif llits\n");
}

// Through a CONNECT tunnel the certificate is checked against the tunnel's target, not the
// proxy: the proxy is named "localhost", the certificate names 127.0.0.1 only.
TEST_F(NetTlsServer, TlsThroughAConnectTunnelChecksTheTarget) {
    RealServer trusted;
    Serve(trusted, Make("server"));
    CertificateSpec selfSpec;
    MadeCertificate self;
    ASSERT_TRUE(MakeCertificate(dir_, "self", selfSpec, nullptr, self, error_)) << error_;
    RealServer untrusted;
    Serve(untrusted, self);
    testing::TempDir proxyDir("tinyproxy");
    RealServer proxy;
    ASSERT_TRUE(testing::StartTinyproxy(proxy, proxyDir)) << proxy.error;
    const std::string proxyUrl = "https://localhost:" + std::to_string(proxy.port);

    CNetSocket socket;
    RecordingLog log;
    ASSERT_TRUE(socket.ConnectVia("127.0.0.1", trusted.port, proxyUrl, &log)) << log.Text();
    ASSERT_TRUE(socket.StartTls(kTlsV1, &log)) << log.Text();
    EXPECT_EQ(testing::EchoRoundTrip(socket, "tunnelled\n"), "dellennut\n");
    EXPECT_TRUE(log.Has("0|Server certificate verified for \"127.0.0.1\".")) << log.Text();

    CNetSocket refused;
    RecordingLog refusedLog;
    ASSERT_TRUE(refused.ConnectVia("127.0.0.1", untrusted.port, proxyUrl, &refusedLog));
    EXPECT_FALSE(refused.StartTls(kTlsV1, &refusedLog));
    EXPECT_EQ(refused.LastError(), result::kTlsFailed);
    EXPECT_NE(refusedLog.Find("1|Server certificate rejected: it is self-signed"), -1)
        << refusedLog.Text();
}

// After the handshake a read that TLS cannot complete is a failure with an error, never a
// quiet end of data; only the close notification ends the stream. Later sends fail too.
TEST_F(NetTlsServer, TlsFailuresAfterTheHandshakeCarryAnError) {
    const MadeCertificate certificate = Make("server");
    const struct {
        const char* name;
        testing::TlsEnding ending;
        std::int32_t count;
        TransferResult error;
    } cases[] = {
        {"close notification", testing::TlsEnding::CloseNotify, 0, 0},
        {"closed without notification", testing::TlsEnding::PlainClose, -1,
         sockerr::kConnectionAborted},
        {"bytes that are no record", testing::TlsEnding::Garbage, -1, sockerr::kConnectionAborted},
        {"reset", testing::TlsEnding::Reset, -1, sockerr::kConnectionReset},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::TlsScriptedServer server(certificate.files, "reply\n", c.ending);
        CNetSocket socket;
        RecordingLog log;
        ASSERT_TRUE(socket.Connect(testing::kLoopback, server.Port(), nullptr));
        ASSERT_TRUE(socket.StartTls(kTlsV1, &log)) << log.Text() << server.Error();
        ASSERT_TRUE(testing::SendText(socket, "request\r\n\r\n"));
        EXPECT_EQ(testing::ReceiveBytes(socket, 6), "reply\n");
        char buffer[64];
        EXPECT_EQ(socket.Receive(buffer, sizeof buffer), c.count);
        EXPECT_EQ(socket.LastError(), c.error);
        if (c.count < 0) {
            EXPECT_EQ(socket.Send("more", 4), -1);
            EXPECT_NE(socket.LastError(), 0);
        }
        EXPECT_EQ(server.Error(), "");
    }
}

TEST(NetTlsCertificate, ValidityTimesAsTheLogShowsThem) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"250102030405Z", "01/02/25 03:04:05 GMT"},
        {"991231235959Z", "12/31/99 23:59:59 GMT"},
        {"20500102030405Z", ""},  // GeneralizedTime
        {"", ""},
    };
    for (const auto& [stored, text] : cases)
        EXPECT_EQ(FormatValidityTime(stored), text) << stored;
}

}  // namespace
}  // namespace tellweir
