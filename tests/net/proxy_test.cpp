// Connecting through proxies: real tinyproxy (HTTP and CONNECT), microsocks (SOCKS5) and dante
// (SOCKS4) in front of local servers, and scripted proxies for the replies real ones do not send.
#include <gtest/gtest.h>

#include <string>

#include "net/socket/net_socket.h"
#include "tests/net/net_test_util.h"
#include "tests/support/real_servers.h"
#include "tests/support/recording_log.h"
#include "tests/support/scripted_server.h"

namespace tellweir {
namespace {

using namespace std::chrono_literals;
using testing::RealServer;
using testing::RecordingLog;
using testing::ScriptedServer;
namespace script = testing::script;

std::string Port(int port) {
    return std::to_string(port);
}

std::string ProxyUrl(std::string_view scheme, int port, std::string_view credentials = {}) {
    return std::string(scheme) + "://" + std::string(credentials) + "127.0.0.1:" + Port(port);
}

// SOCKS targets in the scripted cases: 10.1.0.0 port 81, as the proxy sees them.
constexpr std::string_view kSocksTarget = "10.1";
constexpr int kTargetPort = 81;
const std::string kSocks5Connect("\x05\x01\x00\x01\x0a\x01\x00\x00\x00\x51", 10);

TEST(NetProxyReal, HttpProxyForwardsRequestsInProxyForm) {
    ScriptedServer origin({script::ReadUntil("\r\n\r\n"),
                           script::Send("HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nhello"),
                           script::Close()});
    testing::TempDir dir("tinyproxy");
    RealServer proxy;
    ASSERT_TRUE(testing::StartTinyproxy(proxy, dir)) << proxy.error;

    CNetSocket socket;
    RecordingLog log;
    ASSERT_TRUE(socket.ConnectVia("127.0.0.1", origin.Port(), ProxyUrl("http", proxy.port), &log))
        << log.Text();
    EXPECT_TRUE(log.Has("0|Connected to 127.0.0.1:" + Port(proxy.port) + ".")) << log.Text();
    const std::string target = "127.0.0.1:" + Port(origin.Port());
    ASSERT_TRUE(testing::SendText(
        socket, "GET http://" + target + "/page HTTP/1.0\r\nHost: " + target + "\r\n\r\n"));
    const std::string reply = testing::ReceiveBytes(socket, 1 << 16);
    EXPECT_NE(reply.find("\r\n\r\nhello"), std::string::npos) << reply;
    ASSERT_TRUE(origin.Wait());
    EXPECT_TRUE(origin.Received().starts_with("GET /page HTTP/1.")) << origin.Received();
}

TEST(NetProxyReal, HttpsProxyOpensAConnectTunnel) {
    ScriptedServer echo({script::Echo()});
    testing::TempDir dir("tinyproxy");
    RealServer proxy;
    ASSERT_TRUE(testing::StartTinyproxy(proxy, dir, echo.Port())) << proxy.error;

    CNetSocket socket;
    RecordingLog log;
    ASSERT_TRUE(socket.ConnectVia("127.0.0.1", echo.Port(), ProxyUrl("https", proxy.port), &log))
        << log.Text();
    EXPECT_EQ(testing::EchoRoundTrip(socket, "through the tunnel"), "through the tunnel");
    EXPECT_TRUE(log.Has("0|Sending request: \"HTTP CONNECT\".")) << log.Text();
    EXPECT_TRUE(log.Has("2|CONNECT 127.0.0.1:" + Port(echo.Port()) + " HTTP/1.0\r\n\r\n"));
    EXPECT_NE(log.Find("3|HTTP/1.0 200"), -1) << log.Text();
}

TEST(NetProxyReal, Socks5WithAndWithoutPassword) {
    ScriptedServer echo({script::Echo()}, 2);
    RealServer open;
    ASSERT_TRUE(testing::StartMicrosocks(open)) << open.error;
    RealServer guarded;
    ASSERT_TRUE(testing::StartMicrosocks(guarded, "user", "secret")) << guarded.error;

    const std::string proxies[] = {ProxyUrl("socks5", open.port),
                                   ProxyUrl("socks5", guarded.port, "User:secret@")};
    for (const std::string& proxy : proxies) {
        CNetSocket socket;
        RecordingLog log;
        ASSERT_TRUE(socket.ConnectVia("localhost", echo.Port(), proxy, &log)) << log.Text();
        EXPECT_EQ(testing::EchoRoundTrip(socket, "via " + proxy), "via " + proxy);
    }

    CNetSocket socket;
    RecordingLog log;
    EXPECT_FALSE(socket.ConnectVia("127.0.0.1", echo.Port(),
                                   ProxyUrl("socks5", guarded.port, "user:wrong@"), &log));
    EXPECT_EQ(socket.LastError(), result::kInvalidParameter);
    EXPECT_TRUE(log.Has("1|Cannot connect to 127.0.0.1:" + Port(echo.Port()) + " via proxy."))
        << log.Text();
}

TEST(NetProxyReal, Socks4ThroughDante) {
    ScriptedServer echo({script::Echo()});
    testing::TempDir dir("dante");
    RealServer proxy;
    ASSERT_TRUE(testing::StartDante(proxy, dir)) << proxy.error;

    CNetSocket socket;
    RecordingLog log;
    ASSERT_TRUE(socket.ConnectVia("127.0.0.1", echo.Port(), ProxyUrl("socks4", proxy.port), &log))
        << log.Text() << proxy.process.Output();
    EXPECT_EQ(testing::EchoRoundTrip(socket, "socks4 both ways"), "socks4 both ways");
}

TEST(NetProxyScripted, ConnectTunnelStandsOnlyOnAPlain200) {
    struct Case {
        std::string reply;
        bool stands;
    };
    const Case cases[] = {
        {"HTTP/1.1 200 Connection established\r\nProxy-Agent: x\r\n\r\n", true},
        {"HTTP/1.0 200 OK\r\n\r\nearly bytes", false},
        {"HTTP/1.0 407 Proxy Authentication Required\r\n\r\n", false},
        {"HTTP/1.0 2000 OK\r\n\r\n", false},
        {"SOCKS/1.0 200 OK\r\n\r\n", false},
    };
    for (const Case& c : cases) {
        ScriptedServer proxy(
            {script::ReadUntil("\r\n\r\n"), script::Send(c.reply), script::Drain()});
        CNetSocket socket;
        RecordingLog log;
        EXPECT_EQ(socket.ConnectVia("www.example.test", 443, ProxyUrl("https", proxy.Port()), &log),
                  c.stands)
            << c.reply;
        socket.Close();
        ASSERT_TRUE(proxy.Wait());
        EXPECT_EQ(proxy.Received(), "CONNECT www.example.test:443 HTTP/1.0\r\n\r\n");
        if (c.stands) continue;
        EXPECT_EQ(socket.LastError(), result::kInvalidParameter) << c.reply;
        EXPECT_TRUE(log.Has("1|Cannot connect to www.example.test:443 via proxy.")) << log.Text();
    }
}

TEST(NetProxyScripted, Socks4SendsTheUserIdAndHonoursRefusals) {
    struct Case {
        std::string credentials;
        std::string userId;
        char status;
        bool stands;
    };
    const Case cases[] = {
        {"", "noname", 90, true},
        {"Alice@", "alice", 90, true},
        {"", "noname", 91, false},
    };
    for (const Case& c : cases) {
        const std::string request =
            std::string("\x04\x01\x00\x51\x0a\x01\x00\x00", 8) + c.userId + std::string(1, '\0');
        ScriptedServer proxy({script::Expect(request),
                              script::Send(std::string{0, c.status, 0, 0, 0, 0, 0, 0}),
                              script::Drain()});
        CNetSocket socket;
        RecordingLog log;
        EXPECT_EQ(socket.ConnectVia(kSocksTarget, kTargetPort,
                                    ProxyUrl("socks4", proxy.Port(), c.credentials), &log),
                  c.stands)
            << log.Text();
        socket.Close();
        ASSERT_TRUE(proxy.Wait());
        EXPECT_TRUE(proxy.Failures().empty()) << proxy.Failures().front();
        if (c.stands) continue;
        EXPECT_EQ(socket.LastError(), result::kInvalidParameter);
        EXPECT_TRUE(log.Has("1|Cannot connect to 10.1.0.0:81 via proxy.")) << log.Text();
    }
}

TEST(NetProxyScripted, Socks5RefusesPasswordAuthenticationItCannotDo) {
    struct Case {
        std::string credentials;
        std::string greeting;
    };
    const Case cases[] = {
        {"", std::string("\x05\x01\x00", 3)},      // offered none, proxy wants a password
        {"bob@", std::string("\x05\x01\x02", 3)},  // a user without a password
    };
    for (const Case& c : cases) {
        ScriptedServer proxy(
            {script::Expect(c.greeting), script::Send("\x05\x02"), script::Drain()});
        CNetSocket socket;
        RecordingLog log;
        EXPECT_FALSE(socket.ConnectVia(kSocksTarget, kTargetPort,
                                       ProxyUrl("socks5", proxy.Port(), c.credentials), &log));
        EXPECT_EQ(socket.LastError(), result::kInvalidParameter);
        EXPECT_TRUE(log.Has("1|Cannot connect to 10.1.0.0:81 via proxy.")) << log.Text();
        socket.Close();
        ASSERT_TRUE(proxy.Wait());
        EXPECT_EQ(proxy.Received(), c.greeting);  // nothing after the greeting
    }
}

TEST(NetProxyScripted, Socks5ReplyCodeBecomesTheError) {
    ScriptedServer proxy({script::Expect(std::string("\x05\x01\x00", 3)),
                          script::Send(std::string("\x05\x00", 2)), script::Expect(kSocks5Connect),
                          script::Send(std::string("\x05\x05\x00\x01\0\0\0\0\0\0", 10)),
                          script::Drain()});
    CNetSocket socket;
    RecordingLog log;
    EXPECT_FALSE(
        socket.ConnectVia(kSocksTarget, kTargetPort, ProxyUrl("socks5", proxy.Port()), &log));
    EXPECT_EQ(socket.LastError(), 5);
    EXPECT_TRUE(log.Has("1|Cannot connect to 10.1.0.0:81 via proxy.")) << log.Text();
    socket.Close();
    ASSERT_TRUE(proxy.Wait());
    EXPECT_TRUE(proxy.Failures().empty()) << proxy.Failures().front();
}

TEST(NetProxyScripted, Socks5PasswordExchangeAndBoundAddressOfAnyForm) {
    // The reply's bound address given as a name must be read whole and not left in the tunnel.
    const std::string boundName = std::string("\x05\x00\x00\x03\x09", 5) + "proxy.lan\x04\x38";
    ScriptedServer proxy({script::Expect(std::string("\x05\x01\x02", 3)), script::Send("\x05\x02"),
                          script::Expect(std::string("\x01\x03joe\x02pw", 8)),
                          script::Send(std::string("\x01\x00", 2)), script::Expect(kSocks5Connect),
                          script::Send(boundName), script::Echo()});
    CNetSocket socket;
    RecordingLog log;
    ASSERT_TRUE(socket.ConnectVia(kSocksTarget, kTargetPort,
                                  ProxyUrl("socks5", proxy.Port(), "joe:pw@"), &log))
        << log.Text();
    EXPECT_EQ(testing::EchoRoundTrip(socket, "clean"), "clean");
}

TEST(NetProxyScripted, StalledProxyEndsWithTheTimeLimit) {
    for (const std::string_view scheme : {"https", "socks4", "socks5"}) {
        ScriptedServer proxy({script::Drain()});
        CNetSocket socket;
        socket.SetTimeout(300);
        RecordingLog log;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(
            socket.ConnectVia(kSocksTarget, kTargetPort, ProxyUrl(scheme, proxy.Port()), &log));
        EXPECT_LT(testing::ElapsedMs(start), 3000) << scheme;
        EXPECT_EQ(socket.LastError(), result::kTimeout) << scheme;
        const std::string target = scheme == "https" ? "10.1" : "10.1.0.0";
        EXPECT_TRUE(log.Has("1|Cannot connect to " + target + ":81 via proxy (error: 110)."))
            << log.Text();
    }
}

TEST(NetProxyScripted, ProxyTextsThatConnectDirectlyOrFail) {
    ScriptedServer server({script::Drain()}, 3);
    const std::string port = Port(server.Port());
    struct Case {
        std::string proxy;
        bool connects;
        std::string line;  // expected in the log
    };
    const Case cases[] = {
        {"", true, "0|Connected to 127.0.0.1:" + port + "."},
        {"No", true, "0|Connected to 127.0.0.1:" + port + "."},
        // Without a scheme it is an HTTP proxy: only connected to.
        {"127.0.0.1:" + port, true, "0|Connected to 127.0.0.1:" + port + "."},
        {"mailto:proxy@example.test", false, "1|Incorrect parameter \"proxy type\"."},
        {"http://127.0.0.1:99999", false, "1|Incorrect parameter \"proxy url\"."},
        {"socks5://127.0.0.1:" + port, false,
         "1|Cannot find server or DNS Error, host name: \"255.255.255.255\"."},
    };
    for (const Case& c : cases) {
        CNetSocket socket;
        RecordingLog log;
        const std::string host = c.proxy.starts_with("socks5") ? "255.255.255.255" : "127.0.0.1";
        EXPECT_EQ(socket.ConnectVia(host, server.Port(), c.proxy, &log), c.connects) << c.proxy;
        EXPECT_TRUE(log.Has(c.line)) << c.proxy << "\n" << log.Text();
        if (!c.connects) {
            EXPECT_NE(socket.LastError(), 0);
            EXPECT_FALSE(socket.IsOpen()) << c.proxy;
        }
    }
    ASSERT_TRUE(server.Wait());
    EXPECT_EQ(server.Received(), "");  // no handshake was sent to anyone
}

}  // namespace
}  // namespace tellweir
