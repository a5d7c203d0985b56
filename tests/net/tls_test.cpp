// TLS over the socket against `openssl s_server` with certificates made at test time: directly
// and through tinyproxy's CONNECT tunnel, the method lines, the certificate lines and the
// failures that end in 1019.
#include <gtest/gtest.h>

#include <ctime>
#include <regex>
#include <string>

#include "net/net_startup.h"
#include "net/socket/idle_connection.h"
#include "net/socket/net_socket.h"
#include "net/tls/ssl_certificate.h"
#include "tests/net/net_test_util.h"
#include "tests/support/real_servers.h"
#include "tests/support/recording_log.h"

namespace tellweir {
namespace {

using testing::RealServer;
using testing::RecordingLog;

constexpr std::int32_t kTlsV1 = 3;
const std::string kCertificateAccepted = "0|Server certificate was auto accepted.";

// A TLS server that sends every line back reversed, with a fresh self-signed certificate.
class NetTlsServer : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(Startup(true)); }

    void StartServer(int days, const std::vector<std::string>& args = {"-rev"}) {
        std::string error;
        ASSERT_TRUE(testing::MakeSelfSignedCertificate(dir_, days, certificate_, error)) << error;
        ASSERT_TRUE(testing::StartTlsServer(server_, dir_, certificate_, args)) << server_.error;
    }

    // Connects and starts TLS with `method`.
    bool Open(CNetSocket& socket, std::int32_t method, RecordingLog& log) {
        return socket.Connect(testing::kLoopback, server_.port, nullptr) &&
               socket.StartTls(method, &log);
    }

    testing::TempDir dir_{"tls"};
    testing::Certificate certificate_;
    RealServer server_;
};

int CountLines(const RecordingLog& log, const std::string& part) {
    int count = 0;
    for (const std::string& line : log.Lines())
        count += line.find(part) != std::string::npos ? 1 : 0;
    return count;
}

// "MM/DD/YY" of the current UTC day, as the first certificate line shows a fresh certificate.
std::string TodayUtc() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    ::gmtime_r(&now, &parts);
    char text[16];
    std::strftime(text, sizeof text, "%m/%d/%y", &parts);
    return text;
}

TEST_F(NetTlsServer, CarriesBytesAndLogsTheCertificate) {
    StartServer(1);
    CNetSocket socket;
    RecordingLog log;
    testing::CountingObserver observer;
    ASSERT_TRUE(Open(socket, kTlsV1, log)) << log.Text() << server_.process.Output();
    socket.SetObserver(&observer);
    EXPECT_EQ(testing::EchoRoundTrip(socket, "hello tls\n"), "slt olleh\n");
    EXPECT_EQ(observer.sent, 10);  // payload bytes, not the records on the wire
    EXPECT_EQ(observer.received, 10);

    EXPECT_EQ(log.Lines().front(), "0|SSL/TLS client method TLSv1.0.");
    const int info = log.Find("Server certificate info");
    ASSERT_NE(info, -1) << log.Text();
    const std::string line = log.Lines()[static_cast<std::size_t>(info)];
    static const std::regex kDates(
        R"(0\|Server certificate info: valid from (\d\d/\d\d/\d\d) \d\d:\d\d:\d\d GMT, )"
        R"(to \d\d/\d\d/\d\d \d\d:\d\d:\d\d GMT\.)");
    std::smatch dates;
    ASSERT_TRUE(std::regex_match(line, dates, kDates)) << line;
    EXPECT_EQ(dates[1], TodayUtc());
    EXPECT_EQ(log.Lines()[static_cast<std::size_t>(info) + 1], kCertificateAccepted);
    EXPECT_EQ(CountLines(log, "Server certificate"), 2);  // only the first certificate
    EXPECT_TRUE(log.Has("0|SSL handshake: state: SSLv3 SSL3_ST_CW_CLNT_HELLO_A sent."))
        << log.Text();
    EXPECT_TRUE(log.Has("0|SSL handshake: state: SSLv3 SSL3_ST_CR_SRVR_HELLO_A received."));
    EXPECT_NE(log.Find("0|SSL negotiate: "), -1);
    EXPECT_EQ(socket.LastError(), 0);

    const std::size_t linesAfterHandshake = log.Lines().size();
    EXPECT_EQ(testing::EchoRoundTrip(socket, "again\n"), "niaga\n");
    EXPECT_EQ(log.Lines().size(), linesAfterHandshake);  // the log is the handshake's only
}

TEST_F(NetTlsServer, EveryMethodValueNegotiatesAndNamesItsMethod) {
    StartServer(1);
    const std::pair<std::int32_t, std::string> methods[] = {
        {0, "0|SSL/TLS client method SSLv2."},
        {1, "0|SSL/TLS client method SSLv3 but can rollback to v2."},
        {2, "0|SSL/TLS client method SSLv3."},
    };
    for (const auto& [method, line] : methods) {
        CNetSocket socket;
        RecordingLog log;
        ASSERT_TRUE(Open(socket, method, log)) << log.Text();
        EXPECT_EQ(log.Lines().front(), line);
        EXPECT_EQ(testing::EchoRoundTrip(socket, "ab\n"), "ba\n");
        if (method == 1) {
            EXPECT_TRUE(log.Has("0|SSL handshake: state: SSLv23 SSL23_ST_CW_CLNT_HELLO_A sent."))
                << log.Text();
        }
    }
}

TEST_F(NetTlsServer, UnknownMethodFailsWith1019AndClosesTheSocket) {
    StartServer(1);
    CNetSocket socket;
    RecordingLog log;
    EXPECT_FALSE(Open(socket, 7, log));
    EXPECT_EQ(socket.LastError(), result::kTlsFailed);
    EXPECT_FALSE(socket.IsOpen());
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{
                               "1|SSL/TLS client method is unknown or not specified correctly."}));

    CNetSocket closed;
    EXPECT_FALSE(closed.StartTls(kTlsV1, &log));
    EXPECT_EQ(closed.LastError(), result::kInvalidParameter);
    CNetSocket twice;
    ASSERT_TRUE(Open(twice, kTlsV1, log));
    EXPECT_FALSE(twice.StartTls(kTlsV1, &log));
    EXPECT_EQ(twice.LastError(), result::kInvalidParameter);
    EXPECT_TRUE(twice.IsOpen());
}

TEST_F(NetTlsServer, GeneralizedTimeGivesAnEmptyDateText) {
    StartServer(12000);  // ends after 2049
    CNetSocket socket;
    RecordingLog log;
    ASSERT_TRUE(Open(socket, kTlsV1, log)) << log.Text();
    const int info = log.Find("Server certificate info");
    ASSERT_NE(info, -1);
    static const std::regex kFromOnly(
        R"(0\|Server certificate info: valid from \d\d/\d\d/\d\d \d\d:\d\d:\d\d GMT, to \.)");
    EXPECT_TRUE(std::regex_match(log.Lines()[static_cast<std::size_t>(info)], kFromOnly))
        << log.Text();
}

TEST_F(NetTlsServer, ServerAskingForAClientCertificateFailsTheHandshake) {
    StartServer(1, {"-rev", "-verify", "1"});
    CNetSocket socket;
    RecordingLog log;
    EXPECT_FALSE(Open(socket, kTlsV1, log));
    EXPECT_EQ(socket.LastError(), result::kTlsFailed);
    EXPECT_FALSE(socket.IsOpen());
    const int missing = log.Find("1|No client certificate found.");
    EXPECT_NE(missing, -1) << log.Text();
    EXPECT_GT(missing, log.Find(kCertificateAccepted));
}

TEST_F(NetTlsServer, IdleTlsConnectionWithOnlyProtocolRecordsPendingIsUsable) {
    StartServer(1);
    CNetSocket socket;
    RecordingLog log;
    ASSERT_TRUE(Open(socket, kTlsV1, log));
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

TEST_F(NetTlsServer, TlsThroughAConnectTunnel) {
    StartServer(1);
    testing::TempDir proxyDir("tinyproxy");
    RealServer proxy;
    ASSERT_TRUE(testing::StartTinyproxy(proxy, proxyDir, server_.port)) << proxy.error;

    CNetSocket socket;
    RecordingLog log;
    ASSERT_TRUE(socket.ConnectVia("127.0.0.1", server_.port,
                                  "https://127.0.0.1:" + std::to_string(proxy.port), &log))
        << log.Text();
    ASSERT_TRUE(socket.StartTls(kTlsV1, &log)) << log.Text();
    EXPECT_EQ(testing::EchoRoundTrip(socket, "tunnelled\n"), "dellennut\n");
    EXPECT_TRUE(log.Has("0|SSL/TLS client method TLSv1.0."));
    const int info = log.Find("0|Server certificate info: valid from " + TodayUtc());
    ASSERT_NE(info, -1) << log.Text();
    EXPECT_EQ(log.Lines()[static_cast<std::size_t>(info) + 1], kCertificateAccepted);
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
