// The HTTP session against scripted servers, for replies no real server sends: malformed status
// lines and chunks, wrong ranges, endless redirects, stalls, cuts and oversized headers, folded
// and control bytes in URLs of a reply, and TLS streams that break or end unannounced.
#include <chrono>
#include <cstdio>
#include <thread>
#include <utility>

#include "net/http/http_request.h"
#include "net/protocol_props.h"
#include "tests/net/http_session_fixture.h"
#include "tests/support/scripted_server.h"
#include "tests/support/test_certificates.h"
#include "tests/support/tls_scripted_server.h"
#include "transfer/file_info.h"

namespace tellweir::testing {
namespace {

using std::chrono::milliseconds;
using Steps = std::vector<ScriptStep>;

// The request, then `reply`.
Steps Answer(const std::string& reply) {
    return {script::ReadUntil("\r\n\r\n"), script::Send(reply)};
}

std::string Url(const ScriptedServer& server, const std::string& path = "/f") {
    return "http://127.0.0.1:" + std::to_string(server.Port()) + path;
}

enum class Op { Info, Download };

struct ReplyCase {
    const char* name;
    Op op;
    std::string existing;  // the local file before the download: its length is the offset
    Steps script;
    TransferResult result;
    std::string file;  // the local file after a download
    const char* logLine = nullptr;
};

class HttpScriptedTest : public HttpSessionTest {
  protected:
    void RunCase(const ReplyCase& c) {
        SCOPED_TRACE(c.name);
        ScriptedServer server(c.script);
        Check(c, Url(server));
    }

    // Runs the case's operation on `url` and checks its outcome.
    void Check(const ReplyCase& c, const std::string& url) {
        RefPtr<CHttpSession> session = NewSession();
        auto transfer = NewTransfer(url);
        dir_.WriteFile("out", c.existing);
        const TransferResult got = c.op == Op::Info ? session->GetFileInfo(*transfer, &log_)
                                                    : Download(*session, *transfer, "out");
        EXPECT_EQ(got, c.result) << log_.Text();
        if (c.op == Op::Download) {
            EXPECT_EQ(dir_.ReadFile("out"), c.file);
        }
        if (c.logLine) {
            EXPECT_TRUE(log_.Has(c.logLine)) << log_.Text();
        }
        // Broken or cut replies leave a stream that cannot carry another request.
        for (TransferResult broken : {1006, 1009, 110, 1020, 10053, 10054}) {
            if (c.result == broken) {
                EXPECT_FALSE(session->IsConnected());
            }
        }
    }
};

// `size` bytes that are not all alike, so that a piece written twice or out of place shows.
std::string Pattern(std::size_t size, std::size_t seed) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>('a' + (i * 7 + seed) % 26);
    return bytes;
}

// A chunked body of chunks of these sizes (several larger than one receive), and its content.
std::pair<std::string, std::string> ChunkedOf(std::initializer_list<std::size_t> sizes) {
    std::string wire;
    std::string body;
    for (const std::size_t size : sizes) {
        const std::string chunk = Pattern(size, body.size());
        char line[32];
        std::snprintf(line, sizeof line, "%zx\r\n", size);
        wire += line + chunk + "\r\n";
        body += chunk;
    }
    return {wire + "0\r\n\r\n", body};
}

TEST_F(HttpScriptedTest, RepliesAndTheirResults) {
    settings_.SetInt(setting::kConnectionTimeout, 1);
    const std::string big(1024 * 1024 + 10, 'a');
    const std::string large = Pattern(700000, 0);
    const auto [chunkedWire, chunkedBody] = ChunkedOf({1, 17, 65536, 300000, 3, 262144, 5000});
    const ReplyCase cases[] = {
        {"short status code", Op::Info, "", Answer("HTTP/1.1 20\r\n\r\n"), 1009, ""},
        {"not HTTP at all", Op::Info, "", Answer("ICY 200 OK\r\n\r\n"), 1009, ""},
        {"no content", Op::Info, "", Answer("HTTP/1.1 204 No Content\r\n\r\n"), 0, "",
         "1|Server return error: 204."},
        {"not found", Op::Info, "", Answer("HTTP/1.1 404 Not Found\r\n\r\n"), 1001, "",
         "1|404 not found."},
        {"unauthorised", Op::Info, "", Answer("HTTP/1.1 401 No\r\n\r\n"), 1003, "",
         "1|401 access denied."},
        {"forbidden", Op::Info, "", Answer("HTTP/1.1 403 Forbidden\r\n\r\n"), 1011, ""},
        {"server error", Op::Download, "",
         Answer("HTTP/1.1 503 Busy\r\nContent-Length: 4\r\n\r\nbusy"), 1012, ""},
        {"odd status", Op::Info, "", Answer("HTTP/1.1 999 What\r\n\r\n"), 1013, ""},
        {"chunk size 0x5", Op::Download, "",
         Answer("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n0x5\r\nhello\r\n0\r\n\r\n"),
         0, "hello"},
        {"empty chunk size line", Op::Download, "",
         Answer("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n\r\nhello\r\n0\r\n\r\n"),
         1009, "", "1|ReadHTTPRawBody error."},
        {"chunked body cut before its last chunk", Op::Download, "",
         Answer("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n"), 1006,
         "hello", "1|Transfer aborted: closed by server, bytes expected ?, received 5."},
        {"large plain body", Op::Download, "",
         Answer("HTTP/1.1 200 OK\r\nContent-Length: 700000\r\n\r\n" + large), 0, large},
        {"large chunked body", Op::Download, "",
         Answer("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + chunkedWire), 0,
         chunkedBody},
        {"chunk size line split between receives",
         Op::Download,
         "",
         {script::ReadUntil("\r\n\r\n"),
          script::Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n1"),
          script::Delay(milliseconds(100)), script::Send("0\r\n0123456789abcdef\r\n0\r\n\r\n")},
         0,
         "hello0123456789abcdef"},
        {"plain body to the close", Op::Download, "",
         Answer("HTTP/1.0 200 OK\r\n\r\nuntil the end"), 0, "until the end"},
        {"plain body cut short", Op::Download, "",
         Answer("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n01234"), 1006, "01234",
         "1|Transfer aborted: closed by server, bytes expected 10, received 5."},
        {"partial content from the offset", Op::Download, "01234",
         Answer("HTTP/1.1 206 Partial\r\nContent-Range: bytes 5-9/10\r\nContent-Length: "
                "5\r\n\r\n56789"),
         0, "0123456789"},
        {"partial content from another offset", Op::Download, "01234",
         Answer("HTTP/1.1 206 Partial\r\nContent-Range: bytes 0-9/10\r\nContent-Length: "
                "10\r\n\r\n0123456789"),
         1020, "01234", "1|Incorrect offset returned: 0, expected: 5"},
        {"partial content whose length disagrees", Op::Download, "01234",
         Answer("HTTP/1.1 206 Partial\r\nContent-Range: bytes 5-9/10\r\nContent-Length: "
                "4\r\n\r\n5678"),
         1009, "01234", "1|Protocol error: HTTP, incorrect or unknown byte range.."},
        {"chunked partial content", Op::Download, "01234",
         Answer("HTTP/1.1 206 Partial\r\nContent-Range: bytes 5-9/10\r\nContent-Length: "
                "5\r\nTransfer-Encoding: chunked\r\n\r\n5\r\n56789\r\n0\r\n\r\n"),
         1009, "01234"},
        {"whole body to a ranged request", Op::Download, "01234",
         Answer("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n0123456789"), 1020, "01234",
         "1|Incorrect offset returned: 0, expected: 5"},
        {"header block over 1 MiB", Op::Info, "",
         Answer("HTTP/1.1 200 OK\r\nX-Big: " + big + "\r\n\r\n"), 1009, ""},
        {"stall in the header",
         Op::Info,
         "",
         {script::ReadUntil("\r\n\r\n"), script::Send("HTTP/1.1 200 OK\r\n"),
          script::Delay(milliseconds(3000))},
         110,
         "",
         "1|Timeout on: \"HTTP reply read\"."},
        {"stall in the body",
         Op::Download,
         "",
         {script::ReadUntil("\r\n\r\n"),
          script::Send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n01234"),
          script::Delay(milliseconds(3000))},
         110,
         "01234",
         "1|Timeout on: \"HTTP recv body\"."},
        {"closed before any reply",
         Op::Info,
         "",
         {script::ReadUntil("\r\n\r\n"), script::Close()},
         1006,
         "",
         "1|Control connection closed."},
    };
    for (const ReplyCase& c : cases)
        RunCase(c);
}

// A TLS stream that breaks (bytes that are no TLS record, a reset) or ends without the close
// notification fails with a network error wherever it happens; only the close notification
// ends a body that runs to the close.
TEST_F(HttpScriptedTest, TlsBreaksAndEndings) {
    settings_.SetInt(setting::kAcceptUntrustedCertificates, 1);
    MadeCertificate certificate;
    std::string error;
    ASSERT_TRUE(MakeCertificate(dir_, "server", {}, nullptr, certificate, error)) << error;
    const std::string sized = "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n01234";
    const std::string toTheClose = "HTTP/1.0 200 OK\r\n\r\n01234";
    const struct {
        const char* name;
        Op op;
        std::string reply;
        TlsEnding ending;
        TransferResult result;
        std::string file;
        const char* logLine = nullptr;
    } cases[] = {
        {"broken in the header", Op::Info, "HTTP/1.1 200 OK\r\nContent-Le", TlsEnding::Garbage,
         10053, "", "1|Control connection closed (10053, connection aborted)."},
        {"reset in the header", Op::Info, "HTTP/1.1 200 OK\r\nContent-Le", TlsEnding::Reset, 10054,
         ""},
        {"broken in a sized body", Op::Download, sized, TlsEnding::Garbage, 10053, "01234",
         "1|Transfer aborted: connection closed (error: 10053, connection aborted), bytes expected "
         "10, received 5."},
        {"reset in a sized body", Op::Download, sized, TlsEnding::Reset, 10054, "01234"},
        {"broken in a body to the close", Op::Download, toTheClose, TlsEnding::Garbage, 10053,
         "01234",
         "1|Transfer aborted: connection closed (error: 10053, connection aborted), bytes expected "
         "?, received 5."},
        {"body to the close without the close notification", Op::Download, toTheClose,
         TlsEnding::PlainClose, 10053, "01234"},
        {"body to the close with the close notification", Op::Download, toTheClose,
         TlsEnding::CloseNotify, 0, "01234"},
    };
    for (const auto& c : cases) {
        TlsScriptedServer server(certificate.files, c.reply, c.ending);
        SCOPED_TRACE(c.name);
        Check({c.name, c.op, "", {}, c.result, c.file, c.logLine},
              "https://127.0.0.1:" + std::to_string(server.Port()) + "/f");
        EXPECT_EQ(server.Error(), "");
        log_.Clear();
    }
}

TEST_F(HttpScriptedTest, FileInformationFromTheReplyHeaders) {
    ScriptedServer server(
        Answer("HTTP/1.1 200 OK\r\nContent-Length: 1234\r\nContent-Type: text/plain\r\n"
               "ETag: W/\"a\r\n b\"\r\nContent-Encoding: gzip\r\n"
               "Content-Location: /a b\r\n\tc\x7F\r\n\r\n"));
    RefPtr<CHttpSession> session = NewSession();
    auto transfer = NewTransfer(Url(server));
    ASSERT_EQ(session->GetFileInfo(*transfer, &log_), 0) << log_.Text();
    EXPECT_EQ(transfer->String(prop::kETag), "\"a\r\n b\"") << "weak tag, folded value";
    EXPECT_EQ(transfer->Int64(prop::kSize), -1) << "gzip-encoded: size unknown";
    EXPECT_EQ(transfer->String(prop::kContentEncoding), "gzip");
    EXPECT_EQ(transfer->String(prop::kStatusLine), "HTTP/1.1 200 OK\r");
    EXPECT_EQ(server.Received().substr(0, 8), "HEAD /f ");
    // Blanks, the fold and the control byte come back escaped, so the URL can be requested.
    EXPECT_EQ(transfer->String(prop::kContentLocation), Url(server, "/a%20b%20c%7F"));
}

TEST_F(HttpScriptedTest, RedirectsWithinTheHostUpToNine) {
    const std::string redirect =
        "HTTP/1.1 302 Found\r\nLocation: /next\r\nContent-Length: 0\r\n\r\n";
    for (int redirects : {9, 10}) {
        SCOPED_TRACE(redirects);
        Steps steps;
        for (int i = 0; i < redirects; ++i) {
            const Steps answer = Answer(redirect);
            steps.insert(steps.end(), answer.begin(), answer.end());
        }
        const Steps last = Answer("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
        steps.insert(steps.end(), last.begin(), last.end());
        ScriptedServer server(steps);
        RefPtr<CHttpSession> session = NewSession();
        auto transfer = NewTransfer(Url(server, "/start"));
        const TransferResult got = Download(*session, *transfer, "out");
        if (redirects == 9) {
            EXPECT_EQ(got, 0) << log_.Text();
            EXPECT_EQ(dir_.ReadFile("out"), "ok");
            EXPECT_EQ(transfer->String(prop::kRedirPath), "/next");
        } else {
            EXPECT_EQ(got, CHttpSession::kTooManyRedirects);
        }
        EXPECT_EQ(server.Accepted(), 1) << "redirects reuse the connection";
    }
}

TEST_F(HttpScriptedTest, RedirectTargets) {
    struct Case {
        const char* location;
        TransferResult result;
        const char* path;      // property 61 afterwards
        const char* redirect;  // property 103 afterwards
    } const cases[] = {
        {"https://127.0.0.1/other?q=1", 0, "/other?q=1", ""},
        {"sub/page", 0, "/dir/sub/page", ""},
        {"http://elsewhere.test/x", 1014, "", "http://elsewhere.test/x"},
        // Reply bytes below 0x21 and 0x7F never reach a request: a fold is one blank, and
        // every such byte is percent-escaped.
        {"/next\r\n /evil", 0, "/next%20/evil", ""},
        {"/a\tb\x7F\x01", 0, "/a%09b%7F%01", ""},
        {"http://elsewhere.test/x\r\n\tHost: y", 1014, "", "http://elsewhere.test/x%20Host:%20y"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.location);
        Steps steps = Answer(std::string("HTTP/1.1 301 Moved\r\nLocation: ") + c.location +
                             "\r\nContent-Length: 3\r\n\r\n");
        if (c.result == 0) {
            const Steps last = Answer("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
            steps.insert(steps.end(), last.begin(), last.end());
        }
        ScriptedServer server(steps);
        RefPtr<CHttpSession> session = NewSession();
        auto transfer = NewTransfer(Url(server, "/dir/start"));
        EXPECT_EQ(session->GetFileInfo(*transfer, &log_), c.result) << log_.Text();
        EXPECT_EQ(transfer->String(prop::kRedirPath), c.path);
        EXPECT_EQ(transfer->String(prop::kRedirect), c.redirect);
        if (c.result == 0) {
            const std::string received = server.Received();
            const std::size_t second = received.find("\r\n\r\n") + 4;
            EXPECT_TRUE(received.substr(second).starts_with(std::string("HEAD ") + c.path +
                                                            " HTTP/1.1\r\n"))
                << received;
        }
    }
}

TEST_F(HttpScriptedTest, KeepAliveAndTheIdleCheck) {
    const std::string ok = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n";
    struct Case {
        const char* name;
        std::string reply;
        int accepted;
        bool trashed;
    } const cases[] = {
        {"kept alive", ok, 1, false},
        {"server asks to close", "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n", 2, false},
        {"one-second keep-alive", "HTTP/1.1 200 OK\r\nKeep-Alive: timeout=1 max=5\r\n\r\n", 2,
         false},
        {"trailing garbage after the reply", ok + "garbage", 2, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Steps steps = Answer(c.reply);
        const Steps second = Answer(ok);
        steps.insert(steps.end(), second.begin(), second.end());
        // A second connection is served the same script; its second exchange is not reached.
        ScriptedServer server(steps, c.accepted);
        RefPtr<CHttpSession> session = NewSession();
        auto transfer = NewTransfer(Url(server));
        ASSERT_EQ(session->GetFileInfo(*transfer, &log_), 0) << log_.Text();
        std::this_thread::sleep_for(milliseconds(100));  // the garbage arrives
        ASSERT_EQ(session->GetFileInfo(*transfer, &log_), 0) << log_.Text();
        EXPECT_EQ(server.Accepted(), c.accepted);
        EXPECT_EQ(log_.Has("1|Trashed response received."), c.trashed);
        server.Stop();
    }
}

TEST_F(HttpScriptedTest, KeptAliveConnectionClosedBetweenRequestsIsReplacedOnce) {
    const std::string ok = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n";
    for (const bool reset : {false, true}) {
        SCOPED_TRACE(reset ? "reset" : "closed");
        // Each connection answers one request, then drops the next one unanswered.
        Steps steps = Answer(ok);
        steps.push_back(script::ReadUntil("\r\n\r\n"));
        steps.push_back(reset ? script::Reset() : script::Close());
        ScriptedServer server(steps, 3);
        RefPtr<CHttpSession> session = NewSession();
        auto transfer = NewTransfer(Url(server));
        ASSERT_EQ(session->GetFileInfo(*transfer, &log_), 0) << log_.Text();
        ASSERT_EQ(session->GetFileInfo(*transfer, &log_), 0) << log_.Text();
        EXPECT_EQ(server.Accepted(), 2);
        server.Stop();
    }
}

TEST_F(HttpScriptedTest, CookiesSetByOneReplyGoWithTheNext) {
    struct Case {
        const char* setCookie;
        const char* path;  // of the second request
        const char* cookieLine;
    } const cases[] = {
        {"a=1", "/f", "Cookie: a=1\r\n"},
        {"b=2; path=/docs", "/docs/x", "Cookie: b=2\r\n"},
        {"c=3; path=/docs", "/other", nullptr},
        {"d=4; expires=Wed, 09 Jun 2100 10:18:14 GMT", "/f", "Cookie: d=4\r\n"},
        {"e=5; secure", "/f", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.setCookie);
        cookies_.Clear();
        Steps steps = Answer(std::string("HTTP/1.1 200 OK\r\nSet-Cookie: ") + c.setCookie +
                             "\r\nContent-Length: 0\r\n\r\n");
        const Steps second = Answer("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
        steps.insert(steps.end(), second.begin(), second.end());
        ScriptedServer server(steps);
        RefPtr<CHttpSession> session = NewSession();
        auto first = NewTransfer(Url(server, "/index"));
        ASSERT_EQ(session->GetFileInfo(*first, &log_), 0) << log_.Text();
        auto next = NewTransfer(Url(server, c.path));
        ASSERT_EQ(session->GetFileInfo(*next, &log_), 0) << log_.Text();
        const std::string received = server.Received();
        const std::string secondRequest = received.substr(received.find("\r\n\r\n") + 4);
        if (c.cookieLine) {
            EXPECT_NE(secondRequest.find(c.cookieLine), std::string::npos) << secondRequest;
        } else {
            EXPECT_EQ(secondRequest.find("Cookie:"), std::string::npos) << secondRequest;
        }
    }
}

TEST_F(HttpScriptedTest, PostBodies) {
    const std::string path = dir_.WriteFile("body.txt", std::string("x=\0y", 4));
    struct Case {
        std::string data;
        std::string body;
    } const cases[] = {
        {"data:?a=1", "a=1"},
        {"a=1&b=2", "a=1&b=2"},
        {"file:" + path, std::string("x=\0y", 4)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.data);
        ScriptedServer server({script::ReadUntil("\r\n\r\n"), script::Read(c.body.size()),
                               script::Send("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok")});
        RefPtr<CHttpSession> session = NewSession();
        auto transfer = NewTransfer(Url(server, "/form"));
        dir_.WriteFile("out", "");
        transfer->SetBytes(prop::kBody, c.data.data(), static_cast<std::uint32_t>(c.data.size()));
        ASSERT_EQ(Download(*session, *transfer, "out"), 0) << log_.Text();
        EXPECT_EQ(dir_.ReadFile("out"), "ok");
        const std::string received = server.Received();
        EXPECT_TRUE(received.starts_with("POST /form HTTP/1.1\r\n")) << received;
        EXPECT_NE(received.find("Content-Length: " + std::to_string(c.body.size()) + "\r\n"),
                  std::string::npos);
        EXPECT_TRUE(received.ends_with("\r\n\r\n" + c.body)) << received;
    }
}

TEST_F(HttpScriptedTest, PostRefusedFromItsHead) {
    ScriptedServer server(Answer("HTTP/1.1 413 Too Large\r\nConnection: close\r\n\r\n"));
    RefPtr<CHttpSession> session = NewSession();
    auto transfer = NewTransfer(Url(server, "/form"));
    transfer->SetString(prop::kBody, "data:?a=1");
    EXPECT_EQ(Download(*session, *transfer, "out"), result::kHttp4xx) << log_.Text();
    EXPECT_EQ(log_.Find("Sending data"), -1) << "the body is not sent";
}

TEST_F(HttpScriptedTest, StopFromAnotherThreadEndsABlockedReceive) {
    ScriptedServer server({script::ReadUntil("\r\n\r\n"),
                           script::Send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n01"),
                           script::Delay(milliseconds(5000))});
    RefPtr<CHttpSession> session = NewSession();
    auto transfer = NewTransfer(Url(server));
    std::thread stopper([&] {
        std::this_thread::sleep_for(milliseconds(300));
        session->Stop();
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Download(*session, *transfer, "out"), result::kStopped) << log_.Text();
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(3000));
    EXPECT_FALSE(session->IsConnected());
    server.Stop();
}

TEST_F(HttpScriptedTest, StoredPasswordGoesIntoTheAuthorization) {
    ScriptedServer server(Answer("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"));
    const std::string url = "http://joe@127.0.0.1:" + std::to_string(server.Port()) + "/";
    ASSERT_TRUE(passwords_.Set("http://joe@127.0.0.1:" + std::to_string(server.Port()), "s3"));
    RefPtr<CHttpSession> session = NewSession();
    auto transfer = NewTransfer(url);
    ASSERT_EQ(session->GetFileInfo(*transfer, &log_), 0) << log_.Text();
    EXPECT_NE(server.Received().find("Authorization: Basic " + Base64Encode("joe:s3") + "\r\n"),
              std::string::npos)
        << server.Received();
}

}  // namespace
}  // namespace tellweir::testing
