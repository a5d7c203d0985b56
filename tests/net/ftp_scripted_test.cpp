// The FTP session against scripted servers, for what no real server sends: odd greetings,
// one-time-password challenges, odd PASV replies, data connections cut short or offered from
// another address, endless replies, and a transfer stopped from another thread while it waits
// for data.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cstdio>

#include "tests/net/ftp_test_support.h"
#include "tests/net/net_test_util.h"
#include "tests/support/file_text.h"
#include "tests/support/scripted_server.h"
#include "tests/support/wait_until.h"

namespace tellweir::testing {
namespace {

using Steps = std::vector<ScriptStep>;

Steps Join(Steps first, const Steps& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

// Greeting and an anonymous login that needs no password.
Steps AnonymousLogin() {
    return {script::Send("220 ready\r\n"), script::Expect("USER anonymous\r\n"),
            script::Send("230 in\r\n")};
}

// "h1,h2,h3,h4,p1,p2" of 127.0.0.1 (or another loopback host) and a port.
std::string PasvNumbers(int port, int lastByte = 1) {
    return "127,0,0," + std::to_string(lastByte) + "," + std::to_string(port / 256) + "," +
           std::to_string(port % 256);
}

// A connection to 127.0.0.1:`port` from `source` (any 127.x.y.z on Linux), receiving with a
// time limit of five seconds; -1 when it cannot be made.
int ConnectFrom(const char* source, int port) {
    const int handle = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    ::inet_pton(AF_INET, source, &local.sin_addr);
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(static_cast<std::uint16_t>(port));
    remote.sin_addr.s_addr = htonl(kLoopback);
    const timeval wait{5, 0};
    if (handle < 0 || ::bind(handle, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        ::connect(handle, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0 ||
        ::setsockopt(handle, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait) != 0) {
        if (handle >= 0) ::close(handle);
        return -1;
    }
    return handle;
}

class FtpScriptedTest : public FtpTest {
  protected:
    std::unique_ptr<CTransfer> TransferTo(const ScriptedServer& server, int dataType) {
        auto transfer =
            NewTransfer("ftp://127.0.0.1:" + std::to_string(server.Port()) + "/f", dataType);
        transfer->SetInt(prop::kType, static_cast<int>(FileType::File));  // no information first
        return transfer;
    }
};

TEST_F(FtpScriptedTest, GreetingsAndTheAnonymousLogin) {
    const Steps anonymousPassword = {script::Expect("USER anonymous\r\n"),
                                     script::Send("331 password please\r\n"),
                                     script::Expect("PASS visit@\r\n"), script::Send("230 in\r\n")};
    struct Case {
        const char* what;
        Steps steps;
        TransferResult result;
        bool warning;
    };
    const Case cases[] = {
        {"multi-line greeting",
         Join({script::Send("220-Welcome\r\n220-to the test\r\n220 ready\r\n")}, anonymousPassword),
         0, false},
        {"banner line without a code",
         Join({script::Send("Welcome\r\n220 ready\r\n")}, anonymousPassword), 0, true},
        {"greeting split in pieces",
         Join({script::Send("22"), script::Delay(std::chrono::milliseconds(50)),
               script::Send("0 ready\r"), script::Delay(std::chrono::milliseconds(50)),
               script::Send("\n")},
              anonymousPassword),
         0, false},
        {"busy server", {script::Send("421 too many users\r\n")}, result::kFtp4xx, false},
        {"refusing server", {script::Send("530 not for you\r\n")}, result::kFtp5xx, false},
        {"closed at once", {script::Close()}, result::kControlClosed, false},
        {"silent after the greeting",
         {script::Send("220 ready\r\n"), script::Drain()},
         result::kTimeout,
         false},
        {"reply over 64 KiB without an end",
         {script::Send("220-" + std::string(70 * 1024, 'x')), script::Drain()},
         result::kProtocolError,
         false},
    };
    settings_.SetInt(setting::kConnectionTimeout, 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        NewLog();
        ScriptedServer server(c.steps);
        auto transfer = TransferTo(server, kFtpDataPassive);
        FtpSessionPtr session = NewSession(*transfer);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(session->Connect(*transfer, &log()), c.result) << log().Text();
        EXPECT_LT(ElapsedMs(start), 3000) << "bounded by the connection time-out";
        EXPECT_EQ(session->IsConnected(), c.result == 0);
        if (c.result == result::kTimeout) {
            EXPECT_TRUE(log().Has("1|Timeout on: \"FTP reply read\".")) << log().Text();
        }
        EXPECT_EQ(log().Find("WARNING: Incorrect reply received from server") >= 0, c.warning)
            << log().Text();
        if (c.result == 0) {
            EXPECT_TRUE(log().Has("2|PASS ****")) << log().Text();
            EXPECT_TRUE(log().Has("3|220 ready") || log().Find("3|220-Welcome") >= 0 ||
                        log().Find("3|Welcome") >= 0)
                << log().Text();
        }
        session->Close();
        EXPECT_TRUE(server.Failures().empty()) << server.Failures().front();
    }
}

TEST_F(FtpScriptedTest, OneTimePasswordChallengesAreAnswered) {
    struct Case {
        const char* challenge;
        const char* response;  // null: no PASS is sent
        TransferResult result;
    };
    // RFC 2289 appendix C, pass phrase "This is a test.", seed "TeSt".
    const Case cases[] = {
        {"331 otp-md5 99 TeSt ext", "BAIL TUFT BITS GANG CHEF THY", 0},
        {"331 Response to otp-md4 1 TeSt required.", "CARD SAD MINI RYE COL KIN", 0},
        {"331 s/key 0 TeSt", "INCH SEA ANNE LONG AHEM TOUR", 0},
        {"331 otp-md5 0x63 TeSt", "BAIL TUFT BITS GANG CHEF THY", 0},
        {"331 Password required for bob.", "This is a test.", 0},
        {"331 otp-md5 ninety-nine TeSt", nullptr, result::kFtpLoginType},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.challenge);
        NewLog();
        Steps steps = {script::Send("220 ready\r\n"), script::Expect("USER bob\r\n"),
                       script::Send(std::string(c.challenge) + "\r\n")};
        if (c.response)
            steps.insert(steps.end(), {script::Expect("PASS " + std::string(c.response) + "\r\n"),
                                       script::Send("230 in\r\n")});
        ScriptedServer server(steps);
        auto transfer = TransferTo(server, kFtpDataPassive);
        CUrlAddress address = transfer->Address();
        address.user = "bob";
        address.password = "This is a test.";
        transfer->SetAddress(address, "/f");
        FtpSessionPtr session = NewSession(*transfer);
        EXPECT_EQ(session->Connect(*transfer, &log()), c.result) << log().Text();
        const bool otp =
            c.response && std::string_view(c.challenge).find("TeSt") != std::string::npos;
        if (otp) {
            EXPECT_TRUE(
                log().Has(std::string("1|Skey pass phrase generated \"") + c.response + "\"."))
                << log().Text();
        }
        if (!c.response) {
            EXPECT_TRUE(log().Has("1|Login type is not supported: \"skey md5\".")) << log().Text();
        }
        session->Close();
        EXPECT_TRUE(server.Wait()) << "the script ran to its end";
        EXPECT_TRUE(server.Failures().empty()) << server.Failures().front();
    }
}

TEST_F(FtpScriptedTest, TypeAndRestartCommandsAreSentOnlyWhenNeeded) {
    // Every command the client must put on the wire, in order; a skipped one that was sent
    // anyway would meet the wrong expectation.
    ScriptedServer server(Join(AnonymousLogin(), {
                                                     script::Expect("TYPE I\r\n"),
                                                     script::Send("200 binary\r\n"),
                                                     script::Expect("REST 0\r\n"),
                                                     script::Send("350 restarting at 0\r\n"),
                                                     script::Expect("REST 100\r\n"),
                                                     script::Send("350 restarting at 100\r\n"),
                                                     script::Expect("REST 0\r\n"),
                                                     script::Send("350 restarting at 0\r\n"),
                                                     script::Expect("TYPE A\r\n"),
                                                     script::Send("500 no ASCII here\r\n"),
                                                     script::Expect("TYPE A\r\n"),
                                                     script::Send("200 ascii\r\n"),
                                                     script::Expect("NOOP\r\n"),
                                                     script::Send("200 fine\r\n"),
                                                 }));
    auto transfer = TransferTo(server, kFtpDataPassive);
    FtpSessionPtr session = NewSession(*transfer);
    ASSERT_EQ(session->Connect(*transfer, &log()), 0) << log().Text();
    struct Step {
        const char* command;
        int code;
        int typeState;
        int restartState;
    };
    const Step steps[] = {
        {"TYPE I", 200, 1, -1}, {"type i", 200, 1, -1},   {"REST 0", 350, 1, 0},
        {"REST 0", 350, 1, 0},  {"REST 100", 350, 1, -1}, {"REST 0", 350, 1, 0},
        {"TYPE A", 500, -1, 0}, {"TYPE A", 200, 0, 0},    {"  TYPE A", 200, 0, 0},
        {"NOOP", 200, 0, 0},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.command);
        int code = 0;
        std::string text;
        ASSERT_EQ(session->Command(step.command, &log(), code, text), 0) << log().Text();
        EXPECT_EQ(code, step.code);
        EXPECT_EQ(session->TypeState(), step.typeState);
        EXPECT_EQ(session->RestartState(), step.restartState);
    }
    EXPECT_EQ(session->SendCommand("\r\n", &log()), result::kEmptyParameter);
    EXPECT_TRUE(log().Has("1|Empty parameter for FTP command."));
    session->Close();
    EXPECT_TRUE(server.Failures().empty()) << server.Failures().front();
}

TEST_F(FtpScriptedTest, OddPasvRepliesAndDataConnectionsCutShort) {
    struct Case {
        const char* what;
        std::string pasv;  // "%s" stands for the data server's numbers
        int host;          // last byte of the loopback address the reply names
        Steps data;
        const char* finalReply;
        TransferResult result;
        const char* content;  // null: not checked
        const char* logMark;  // null: none
        int type = kFtpDataPassive;
    };
    const Steps hello = {script::Send("hello"), script::Close()};
    const Steps cut = {script::Send("hel"), script::Close()};
    const Case cases[] = {
        {"in parentheses", "227 Entering Passive Mode (%s).", 1, hello, "226 done", 0, "hello",
         nullptr},
        {"after an equals sign", "227 Passive =%s", 1, hello, "226 done", 0, "hello", nullptr},
        {"no address", "227 Passive mode on", 1, hello, nullptr, result::kProtocolError, nullptr,
         "1|Protocol error: unreadable PASV reply."},
        // The data server listens on 127.0.0.1 only: the content comes from the server's address.
        {"another host", "227 Entering Passive Mode (%s)", 2, hello, "226 done", 0, "hello",
         "4|PASV reply names 127.0.0.2, not the server's address 127.0.0.1; connecting to the "
         "server."},
        {"another host, command sent once connected", "227 Entering Passive Mode (%s)", 2, hello,
         "226 done", 0, "hello", "4|PASV reply names 127.0.0.2", kFtpDataPassiveCmdAfter},
        {"cut, the server says so", "227 Entering Passive Mode (%s)", 1, cut,
         "426 Connection closed; transfer aborted.", result::kDataClosed, "hel",
         "1|Transfer aborted: the server ended the transfer with 426."},
        {"reset",
         "227 Entering Passive Mode (%s)",
         1,
         {script::Send("hel"), script::Delay(std::chrono::milliseconds(100)), script::Reset()},
         "426 Connection closed; transfer aborted.",
         10054,
         nullptr,
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        NewLog();
        ScriptedServer data(c.data);
        std::string pasv = c.pasv;
        if (const std::size_t at = pasv.find("%s"); at != std::string::npos)
            pasv.replace(at, 2, PasvNumbers(data.Port(), c.host));
        Steps control =
            Join(AnonymousLogin(), {script::Expect("TYPE I\r\n"), script::Send("200 binary\r\n"),
                                    script::Expect("PASV\r\n"), script::Send(pasv + "\r\n")});
        if (c.finalReply)
            control.insert(control.end(),
                           {script::Expect("REST 0\r\n"), script::Send("350 at 0\r\n"),
                            script::Expect("RETR /f\r\n"), script::Send("150 here it comes\r\n"),
                            script::Send(std::string(c.finalReply) + "\r\n"), script::Drain()});
        ScriptedServer server(control);
        auto transfer = TransferTo(server, c.type);
        FtpSessionPtr session = NewSession(*transfer);
        const std::string target = dir_ / "f";
        std::remove(target.c_str());
        EXPECT_EQ(Download(*session, *transfer, target), c.result) << log().Text();
        if (c.content) {
            EXPECT_EQ(ReadAll(target), c.content);
        }
        if (c.logMark) {
            EXPECT_GE(log().Find(c.logMark), 0) << log().Text();
        }
        session->Close();
        EXPECT_TRUE(server.Failures().empty()) << server.Failures().front();
    }
}

TEST_F(FtpScriptedTest, ActiveDataConnectionIsTakenOnlyFromTheServer) {
    ScriptedServer server(
        Join(AnonymousLogin(),
             {script::Expect("TYPE I\r\n"), script::Send("200 binary\r\n"),
              script::ReadUntil("\r\n"), script::Send("200 ok\r\n"), script::Expect("REST 0\r\n"),
              script::Send("350 at 0\r\n"), script::Expect("RETR /f\r\n"),
              script::Send("150 here\r\n226 done\r\n"), script::Drain()}));
    auto transfer = TransferTo(server, kFtpDataActive);
    FtpSessionPtr session = NewSession(*transfer);
    const std::string target = dir_ / "active";
    TransferResult result = -100;
    std::thread worker([&] { result = Download(*session, *transfer, target); });
    // The port the client listens on, from its PORT command.
    int port = 0;
    WaitUntil([&] {
        const int at = log().Find("2|PORT 127,0,0,1,");
        int p1 = 0;
        int p2 = 0;
        if (at < 0 ||
            std::sscanf(log().Lines()[at].c_str(), "2|PORT 127,0,0,1,%d,%d", &p1, &p2) != 2)
            return false;
        port = p1 * 256 + p2;
        return true;
    });
    // Another local address connects first: the client closes that connection unread.
    const int stranger = ConnectFrom("127.0.0.2", port);
    EXPECT_GE(stranger, 0);
    char byte = 0;
    EXPECT_EQ(::recv(stranger, &byte, 1, 0), 0) << log().Text();
    ::close(stranger);
    // The server's own connection is still awaited and taken.
    const int data = ConnectFrom("127.0.0.1", port);
    EXPECT_EQ(::send(data, "hello", 5, MSG_NOSIGNAL), 5);
    ::close(data);
    worker.join();
    EXPECT_EQ(result, 0) << log().Text();
    EXPECT_EQ(ReadAll(target), "hello");
    const int refused = log().Find("1|Data connection from 127.0.0.2:");
    ASSERT_GE(refused, 0) << log().Text();
    EXPECT_TRUE(log().Lines()[refused].ends_with(" closed: not the server's address 127.0.0.1."));
    session->Close();
    EXPECT_TRUE(server.Failures().empty()) << server.Failures().front();
}

TEST_F(FtpScriptedTest, StopWhileWaitingForDataEndsAtOnceAndLeavesNothingOpen) {
    const int descriptors = OpenDescriptorCount();
    for (int type : {kFtpDataPassive, kFtpDataActive}) {
        SCOPED_TRACE(type);
        NewLog();
        // The data server sends a little and then stalls.
        ScriptedServer data({script::Send("abc"), script::Delay(std::chrono::seconds(8))});
        Steps control =
            Join(AnonymousLogin(), {script::Expect("TYPE I\r\n"), script::Send("200 binary\r\n")});
        if (type == kFtpDataPassive) {
            control.insert(
                control.end(),
                {script::Expect("PASV\r\n"),
                 script::Send("227 Entering Passive Mode (" + PasvNumbers(data.Port()) + ")\r\n"),
                 script::Expect("REST 0\r\n"), script::Send("350 at 0\r\n"),
                 script::Expect("RETR /f\r\n"), script::Send("150 here\r\n")});
        } else {
            // The client's listening socket stays unanswered: the stop must end the accept.
            control.insert(control.end(),
                           {script::ReadUntil("\r\n"), script::Send("200 ok\r\n"),
                            script::Expect("REST 0\r\n"), script::Send("350 at 0\r\n"),
                            script::Expect("RETR /f\r\n"), script::Send("150 here\r\n")});
        }
        control.push_back(script::Drain());
        std::optional<ScriptedServer> server;
        server.emplace(control);
        auto transfer = TransferTo(*server, type);
        FtpSessionPtr session = NewSession(*transfer);
        const std::string target = dir_ / "stopped";
        std::remove(target.c_str());
        TransferResult result = -100;
        std::thread worker([&] { result = Download(*session, *transfer, target); });
        // Wait until the transfer is under way: the 150 reply was logged.
        WaitUntil([&] { return log().Find("3|150 here") >= 0; }, std::chrono::seconds(2),
                  std::chrono::milliseconds(10));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const auto stopped = std::chrono::steady_clock::now();
        session->Stop();
        worker.join();
        EXPECT_LT(ElapsedMs(stopped), 1000);
        EXPECT_EQ(result, result::kStopped) << log().Text();
        if (type == kFtpDataPassive) {
            EXPECT_EQ(ReadAll(target), "abc");
        }
        session->Close();
        session = nullptr;
        server.reset();
        data.Stop();
    }
    EXPECT_EQ(OpenDescriptorCount(), descriptors) << "every socket was closed";
}

TEST_F(FtpScriptedTest, RefusedResumeFailsByTheReplyClass) {
    ScriptedServer data({script::Send("lo"), script::Close()});
    ScriptedServer server(Join(
        AnonymousLogin(),
        {script::Expect("TYPE I\r\n"), script::Send("200 binary\r\n"), script::Expect("PASV\r\n"),
         script::Send("227 Entering Passive Mode (" + PasvNumbers(data.Port()) + ")\r\n"),
         script::Expect("REST 3\r\n"), script::Send("502 REST not implemented\r\n"),
         script::Drain()}));
    auto transfer = TransferTo(server, kFtpDataPassive);
    FtpSessionPtr session = NewSession(*transfer);
    const std::string target = dir_.WriteFile("partial", "hel");
    EXPECT_EQ(Download(*session, *transfer, target), result::kFtp5xx) << log().Text();
    EXPECT_EQ(ReadAll(target), "hel") << "the partial file is kept";
    EXPECT_TRUE(session->IsConnected()) << "a refusal keeps the connection";
    session->Close();
    EXPECT_TRUE(server.Failures().empty()) << server.Failures().front();
}

}  // namespace
}  // namespace tellweir::testing
