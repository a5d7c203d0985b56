// The socket layer without proxies: errno mapping, address parsing and resolution, connecting,
// receive and send, the readiness probe, the idle connection test, listening and accepting.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <csignal>
#include <optional>
#include <thread>

#include "net/socket/idle_connection.h"
#include "net/socket/net_socket.h"
#include "net/socket/resolve.h"
#include "net/socket/socket_error.h"
#include "tests/net/net_test_util.h"
#include "tests/support/free_port.h"
#include "tests/support/recording_log.h"
#include "tests/support/scripted_server.h"

namespace tellweir {
namespace {

using namespace std::chrono_literals;
using testing::RecordingLog;
using testing::ScriptedServer;
namespace script = testing::script;

TEST(NetSocketError, ErrnoBecomesTheWindowsSocketsNumber) {
    const std::pair<int, TransferResult> cases[] = {
        {ENETDOWN, 10050},    {ENETUNREACH, 10051},  {ENETRESET, 10052},  {ECONNABORTED, 10053},
        {EPIPE, 10053},       {ECONNRESET, 10054},   {ENOBUFS, 10055},    {EISCONN, 10056},
        {ENOTCONN, 10057},    {ESHUTDOWN, 10058},    {ETIMEDOUT, 10060},  {ECONNREFUSED, 10061},
        {EHOSTDOWN, 10064},   {EHOSTUNREACH, 10065}, {EINTR, 10004},      {EBADF, 10009},
        {EACCES, 10013},      {EFAULT, 10014},       {EINVAL, 10022},     {EMFILE, 10024},
        {EWOULDBLOCK, 10035}, {EINPROGRESS, 10036},  {EADDRINUSE, 10048}, {EADDRNOTAVAIL, 10049},
        {ENOENT, 10022},      {ENOSPC, 10022},       {0, 10022},
    };
    for (const auto& [error, code] : cases)
        EXPECT_EQ(SocketErrorFromErrno(error), code) << "errno " << error;
}

TEST(NetResolve, DottedDecimalRules) {
    const std::pair<std::string_view, std::optional<Ipv4Address>> cases[] = {
        {"127.0.0.1", 0x7F000001},
        {"10.1", 0x0A010000},  // missing parts are 0, no name lookup
        {"10", 0x0A000000},
        {"10..1", 0x0A000100},      // an empty part counts 0
        {"1.2.3.4.5", 0x01020304},  // the parse ends after the fourth part
        {"1.2.3.4.anything", 0x01020304},
        {"256.1.1.1", std::nullopt},
        {"1.2.3.256", std::nullopt},
        {"0.0.0.0", std::nullopt},
        {"255.255.255.255", std::nullopt},
        {"1.2.3.a", std::nullopt},
        {" 1.2.3.4", std::nullopt},
        {"localhost", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [text, address] : cases)
        EXPECT_EQ(ParseDottedAddress(text), address) << '"' << text << '"';
}

TEST(NetResolve, NamesGoToTheSystemLookup) {
    EXPECT_EQ(ResolveHost("localhost"), testing::kLoopback);
    EXPECT_EQ(ResolveHost("10.1"), 0x0A010000u);
    // Not taken as addresses; the lookup then yields the unusable address itself.
    EXPECT_EQ(ResolveHost("255.255.255.255"), std::nullopt);
    EXPECT_EQ(ResolveHost("0.0.0.0"), std::nullopt);
    EXPECT_EQ(FormatAddress(0x0A010000), "10.1.0.0");
}

TEST(NetSocket, ConnectHostLogsTheResolutionOfNamesOnly) {
    ScriptedServer server({script::Drain()}, 2);
    CNetSocket socket;
    RecordingLog byName;
    ASSERT_TRUE(socket.ConnectHost("localhost", server.Port(), &byName)) << byName.Text();
    const std::string port = std::to_string(server.Port());
    EXPECT_EQ(byName.Lines(),
              (std::vector<std::string>{"0|Host name resolved: \"localhost\" => \"127.0.0.1\".",
                                        "0|Connecting to 127.0.0.1:" + port + "...",
                                        "0|Connected to 127.0.0.1:" + port + "."}));
    RecordingLog byAddress;
    ASSERT_TRUE(socket.ConnectHost("127.0.0.1", server.Port(), &byAddress));
    EXPECT_EQ(byAddress.Find("resolved"), -1) << byAddress.Text();
    socket.Close();

    RecordingLog failed;
    EXPECT_FALSE(socket.ConnectHost("255.255.255.255", server.Port(), &failed));
    EXPECT_EQ(socket.LastError(), result::kResolveFailed);
    EXPECT_EQ(failed.Lines(),
              (std::vector<std::string>{"1|Cannot find server or DNS Error, host name: "
                                        "\"255.255.255.255\"."}));
}

TEST(NetSocket, CarriesBytesBothWaysAndReportsThemToTheObserver) {
    ScriptedServer server({script::Echo()});
    CNetSocket socket;
    testing::CountingObserver observer;
    ASSERT_TRUE(socket.Connect(testing::kLoopback, server.Port(), nullptr));
    socket.SetObserver(&observer);
    EXPECT_EQ(testing::EchoRoundTrip(socket, "hello, world"), "hello, world");
    const std::string big(300000, 'x');  // more than one socket buffer
    EXPECT_EQ(testing::EchoRoundTrip(socket, big).size(), big.size());
    EXPECT_EQ(observer.sent, 12 + 300000);
    EXPECT_EQ(observer.received, 12 + 300000);
    socket.Close();
    EXPECT_FALSE(socket.IsOpen());
    EXPECT_TRUE(server.Wait());
}

TEST(NetSocket, RefusedConnectLogsTheErrorAndLeavesTheHandleToTheCaller) {
    const int port = testing::PickFreePort();  // nothing listens there
    CNetSocket socket;
    RecordingLog log;
    EXPECT_FALSE(socket.Connect(testing::kLoopback, port, &log));
    EXPECT_EQ(socket.LastError(), 10061);
    EXPECT_TRUE(log.Has("1|Cannot connect to 127.0.0.1:" + std::to_string(port) +
                        " (error: 10061, connection refused)."))
        << log.Text();
    EXPECT_TRUE(socket.IsOpen());
    socket.Close();
}

// A listener whose accept queue is full never completes another handshake.
struct FullListener {
    FullListener() {
        EXPECT_TRUE(listener.Bind(testing::kLoopback, 0, nullptr));
        EXPECT_TRUE(listener.Listen(0, nullptr));
        Ipv4Address address = 0;
        listener.GetLocalAddress(address, port);
        EXPECT_TRUE(first.Connect(testing::kLoopback, port, nullptr));
    }
    CNetSocket listener;
    CNetSocket first;
    int port = 0;
};

TEST(NetSocket, ConnectEndsWithTheTimeLimit) {
    FullListener full;
    CNetSocket socket;
    socket.SetTimeout(300);
    RecordingLog log;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(socket.Connect(testing::kLoopback, full.port, &log));
    EXPECT_EQ(socket.LastError(), result::kTimeout);
    EXPECT_GE(testing::ElapsedMs(start), 290);
    EXPECT_LT(testing::ElapsedMs(start), 3000);
    EXPECT_TRUE(
        log.Has("1|Cannot connect to 127.0.0.1:" + std::to_string(full.port) + " (error: 110)."))
        << log.Text();
}

TEST(NetSocket, WaitReadablePeeksWithoutConsuming) {
    ScriptedServer server({script::Read(1), script::Send("abc"), script::Read(1), script::Close()});
    CNetSocket socket;
    char buffer[16];
    std::int32_t size = sizeof buffer;
    EXPECT_EQ(socket.WaitReadable(buffer, size, 0), result::kInvalidParameter);

    ASSERT_TRUE(socket.Connect(testing::kLoopback, server.Port(), nullptr));
    size = sizeof buffer;
    EXPECT_EQ(socket.WaitReadable(buffer, size, 0), 0);
    EXPECT_EQ(size, 0);

    ASSERT_TRUE(testing::SendText(socket, "1"));
    size = sizeof buffer;
    EXPECT_EQ(socket.WaitReadable(buffer, size, 5000), 0);
    EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(size)), "abc");
    EXPECT_EQ(testing::ReceiveBytes(socket, 3), "abc");

    ASSERT_TRUE(testing::SendText(socket, "2"));  // the server closes
    size = sizeof buffer;
    EXPECT_EQ(socket.WaitReadable(buffer, size, 5000), sockerr::kConnectionAborted);
    EXPECT_EQ(size, 0);
}

TEST(NetSocket, IdleConnectionIsUsableOnlyWhileNothingIsPending) {
    ScriptedServer server(
        {script::Read(1), script::Send("421 Timeout, closing.\r\n"), script::Drain()}, 2);
    CNetSocket control;
    CNetSocket data;
    ASSERT_TRUE(control.Connect(testing::kLoopback, server.Port(), nullptr));
    ASSERT_TRUE(data.Connect(testing::kLoopback, server.Port(), nullptr));

    EXPECT_TRUE(TestIdleConnection(true, control, &data));
    EXPECT_TRUE(control.IsOpen());

    ASSERT_TRUE(testing::SendText(control, "x"));
    char probe[8];
    std::int32_t size = sizeof probe;
    ASSERT_EQ(control.WaitReadable(probe, size, 5000), 0);  // the notice has arrived
    EXPECT_FALSE(TestIdleConnection(true, control, &data));
    EXPECT_FALSE(control.IsOpen());
    EXPECT_FALSE(data.IsOpen());

    ASSERT_TRUE(control.Connect(testing::kLoopback, server.Port(), nullptr));
    EXPECT_FALSE(TestIdleConnection(false, control, nullptr));
    EXPECT_FALSE(control.IsOpen());
}

TEST(NetSocket, ListensAcceptsAndCarriesBytes) {
    CNetSocket listener;
    RecordingLog log;
    ASSERT_TRUE(listener.BindAndListen(testing::kLoopback, 0, 1, &log)) << log.Text();
    Ipv4Address address = 0;
    int port = 0;
    ASSERT_TRUE(listener.GetLocalAddress(address, port));
    EXPECT_EQ(address, testing::kLoopback);
    EXPECT_TRUE(log.Has("0|Listen started at 127.0.0.1:" + std::to_string(port) + "."))
        << log.Text();

    CNetSocket client;
    ASSERT_TRUE(client.Connect(testing::kLoopback, port, nullptr));
    CNetSocket accepted;
    ASSERT_TRUE(listener.Accept(accepted, &log));
    int clientPort = 0;
    ASSERT_TRUE(client.GetLocalAddress(address, clientPort));
    EXPECT_TRUE(log.Has("0|Socket accepted from 127.0.0.1:" + std::to_string(clientPort) + "."))
        << log.Text();
    ASSERT_TRUE(testing::SendText(accepted, "150 data"));
    EXPECT_EQ(testing::ReceiveBytes(client, 8), "150 data");
    ASSERT_TRUE(testing::SendText(client, "up"));
    EXPECT_EQ(testing::ReceiveBytes(accepted, 2), "up");
}

TEST(NetSocket, BindAndAcceptFailuresAreLogged) {
    CNetSocket listener;
    ASSERT_TRUE(listener.BindAndListen(testing::kLoopback, 0, 1, nullptr));
    Ipv4Address address = 0;
    int port = 0;
    ASSERT_TRUE(listener.GetLocalAddress(address, port));

    CNetSocket second;
    RecordingLog log;
    EXPECT_FALSE(second.Bind(testing::kLoopback, port, &log));
    EXPECT_EQ(second.LastError(), 10048);
    EXPECT_TRUE(log.Has("1|Can't bind to 127.0.0.1:" + std::to_string(port) +
                        " (error: 10048, address already in use)."))
        << log.Text();

    listener.SetTimeout(200);
    CNetSocket accepted;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(listener.Accept(accepted, &log));
    EXPECT_LT(testing::ElapsedMs(start), 3000);
    EXPECT_EQ(listener.LastError(), result::kTimeout);
    EXPECT_TRUE(log.Has("1|Can't accept (error: 110).")) << log.Text();
}

TEST(NetSocket, BufferSizeIsAtLeast128Bytes) {
    CNetSocket socket;
    ASSERT_TRUE(socket.Bind(testing::kLoopback, 0, nullptr));
    int defaultSize = 0;
    socklen_t length = sizeof defaultSize;
    ASSERT_EQ(::getsockopt(socket.Handle(), SOL_SOCKET, SO_RCVBUF, &defaultSize, &length), 0);
    ASSERT_TRUE(socket.SetBufferSize(false, 16));
    int size = 0;
    ASSERT_EQ(::getsockopt(socket.Handle(), SOL_SOCKET, SO_RCVBUF, &size, &length), 0);
    // Linux doubles the value asked for and has a floor of its own above 2 x 128.
    EXPECT_GE(size, 2 * 128);
    EXPECT_LT(size, defaultSize);
}

TEST(NetSocket, PeerResetDuringSendIsAnErrorNotASignal) {
    struct sigaction previous {};
    struct sigaction deflt {};
    deflt.sa_handler = SIG_DFL;
    ::sigaction(SIGPIPE, &deflt, &previous);  // SIGPIPE would end this test process

    ScriptedServer server({script::Read(1), script::Reset()});
    CNetSocket socket;
    socket.SetTimeout(5000);
    ASSERT_TRUE(socket.Connect(testing::kLoopback, server.Port(), nullptr));
    ASSERT_TRUE(testing::SendText(socket, "x"));
    ASSERT_TRUE(server.Wait());
    const std::string chunk(65536, 'y');
    std::int32_t sent = 0;
    for (int i = 0; i < 50 && sent >= 0; ++i)
        sent = socket.Send(chunk.data(), static_cast<std::int32_t>(chunk.size()));
    EXPECT_EQ(sent, -1);
    EXPECT_TRUE(socket.LastError() == 10053 || socket.LastError() == 10054) << socket.LastError();
    ::sigaction(SIGPIPE, &previous, nullptr);
}

TEST(NetSocket, ConnectingAndClosingLeaksNoDescriptor) {
    ScriptedServer server({script::Drain()}, 20);
    const int before = testing::OpenDescriptorCount();
    for (int i = 0; i < 20; ++i) {
        CNetSocket socket;
        ASSERT_TRUE(socket.Connect(testing::kLoopback, server.Port(), nullptr));
        CNetSocket refused;
        refused.Connect(testing::kLoopback, testing::PickFreePort(), nullptr);
    }
    ASSERT_TRUE(server.Wait());
    EXPECT_EQ(testing::OpenDescriptorCount(), before);
}

}  // namespace
}  // namespace tellweir
