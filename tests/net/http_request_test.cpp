// The request head built from a transfer's properties, Base64 for Basic authorisation, the
// forms of POST data, and credentials kept out of the logged head and the request line.
#include <gtest/gtest.h>

#include "net/http/http_request.h"
#include "tests/net/http_session_fixture.h"
#include "tests/support/scripted_server.h"
#include "transfer/file_info.h"
#include "transfer/request_props.h"
#include "transfer/transfer_request.h"

namespace tellweir::testing {
namespace {

struct HeadCase {
    const char* name;
    const char* url;
    const char* method;
    bool viaProxy;
    std::int64_t start, end;
    void (*adjust)(CTransferRequest&);
    const char* head;
};

void Defaults(CTransferRequest&) {}
void WithCookie(CTransferRequest& r) {
    r.SetString(prop::kCookie, "a=1; b=2");
}
void AllOptional(CTransferRequest& r) {
    r.SetInt(prop::kHttpVersion, 0);
    r.SetInt(prop::kConnection, 5);  // above 1 counts as Close
    r.SetString(prop::kUserAgent, "Agent/1");
    r.SetString(prop::kReferrer, "http://ref/");
    for (int bit : {prop::kFlagSendUserAgent, prop::kFlagSendReferrer, prop::kFlagPragmaNoCache})
        r.SetBit(prop::kFlags, bit, true);
}
void PostType(CTransferRequest& r) {
    r.SetString(prop::kLocalReserved, "text/plain");
}
void RedirectedAndOddVersion(CTransferRequest& r) {
    r.SetString(prop::kRedirPath, "/moved here");
    r.SetInt(prop::kHttpVersion, 9);
}
void NothingEnabled(CTransferRequest& r) {
    r.SetInt(prop::kFlags, 0);
    r.SetString(prop::kCookie, "a=1");
    r.SetString(prop::kUserAgent, "Agent/1");
}

TEST(HttpRequestTest, HeadLinesInTheirOrder) {
    const HeadCase cases[] = {
        {"default GET with cookies", "http://h/a b", "get", false, 0, -1, WithCookie,
         "GET /a%20b HTTP/1.1\r\nHost: h\r\nAccept: *.*, */*\r\nAccept-Encoding: gzip\r\n"
         "Connection: Keep-Alive\r\nCookie: a=1; b=2\r\n\r\n"},
        {"HEAD has no range and no Accept-Encoding", "http://h:8080/x", "HEAD", false, 5, 9,
         Defaults,
         "HEAD /x HTTP/1.1\r\nHost: h:8080\r\nAccept: *.*, */*\r\nConnection: "
         "Keep-Alive\r\n\r\n"},
        {"open range and empty path", "https://h", "GET", false, 100, -1, Defaults,
         "GET / HTTP/1.1\r\nHost: h:443\r\nRange: bytes=100-\r\nAccept: *.*, */*\r\n"
         "Accept-Encoding: gzip\r\nConnection: Keep-Alive\r\n\r\n"},
        {"closed range", "http://h/f", "GET", false, 0, 99, Defaults,
         "GET /f HTTP/1.1\r\nHost: h\r\nRange: bytes=0-99\r\nAccept: *.*, */*\r\n"
         "Accept-Encoding: gzip\r\nConnection: Keep-Alive\r\n\r\n"},
        // The credentials go in the Authorization header alone, never in the request line.
        {"through an HTTP proxy with user and password", "http://u:pw@h/p", "GET", true, 0, -1,
         AllOptional,
         "GET http://h/p HTTP/1.0\r\nHost: h\r\nAccept: *.*, */*\r\nPragma: no-cache\r\n"
         "Referer: http://ref/\r\nAccept-Encoding: gzip\r\nUser-Agent: Agent/1\r\n"
         "Connection: Close\r\nProxy-Connection: Close\r\nAuthorization: Basic dTpwdw==\r\n\r\n"},
        {"pragma only through a proxy", "http://h/p", "HEAD", false, 0, -1, AllOptional,
         "HEAD /p HTTP/1.0\r\nHost: h\r\nAccept: *.*, */*\r\nReferer: http://ref/\r\n"
         "User-Agent: Agent/1\r\nConnection: Close\r\n\r\n"},
        {"ftp through an http proxy", "ftp://h/f.txt", "GET", true, 0, -1, Defaults,
         "GET ftp://h/f.txt HTTP/1.1\r\nHost: h:21\r\nAccept: *.*, */*\r\nAccept-Encoding: "
         "gzip\r\nConnection: Keep-Alive\r\nProxy-Connection: Keep-Alive\r\n\r\n"},
        {"POST with the default type", "http://h/form", "POST", false, 0, 3, Defaults,
         "POST /form HTTP/1.1\r\nHost: h\r\nContent-Length: 3\r\nContent-Type: "
         "application/x-www-form-urlencoded\r\nAccept: *.*, */*\r\nAccept-Encoding: gzip\r\n"
         "Connection: Keep-Alive\r\n\r\n"},
        {"POST with the recorded type", "http://h/form", "POST", false, 0, 0, PostType,
         "POST /form HTTP/1.1\r\nHost: h\r\nContent-Length: 0\r\nContent-Type: text/plain\r\n"
         "Accept: *.*, */*\r\nAccept-Encoding: gzip\r\nConnection: Keep-Alive\r\n\r\n"},
        {"redirected path; version 2 and above send 1.1", "http://h/old", "GET", false, 0, -1,
         RedirectedAndOddVersion,
         "GET /moved%20here HTTP/1.1\r\nHost: h\r\nAccept: *.*, */*\r\nAccept-Encoding: gzip\r\n"
         "Connection: Keep-Alive\r\n\r\n"},
        {"switched off headers are left out", "http://h/", "GET", false, 0, -1, NothingEnabled,
         "GET / HTTP/1.1\r\nHost: h\r\nAccept-Encoding: gzip\r\n\r\n"},
    };
    for (const HeadCase& c : cases) {
        SCOPED_TRACE(c.name);
        CTransferRequest request;
        ASSERT_TRUE(request.SetUrl(c.url, true));
        request.SetInt(prop::kHttpVersion, 1);
        for (int bit : {prop::kFlagCookies, prop::kFlagSendConnection, prop::kFlagSendAccept})
            request.SetBit(prop::kFlags, bit, true);
        c.adjust(request);
        EXPECT_EQ(BuildRequest(request, request.Address(), c.method, c.viaProxy, c.start, c.end),
                  c.head);
    }
}

TEST(HttpRequestTest, Base64OfBytesAsUnsignedValues) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},        {"f", "Zg=="},        {"fo", "Zm8="},
        {"foo", "Zm9v"}, {"\xff\xfe", "//4="}, {"user:pass", "dXNlcjpwYXNz"},
    };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(Base64Encode(bytes), text) << bytes;
}

TEST(HttpRequestTest, PostDataForms) {
    struct Case {
        const char* data;
        bool fromFile;
        const char* text;
    } const cases[] = {
        {"data:?a=1", false, "a=1"}, {"data:a=1", false, "a=1"}, {"a=1", false, "a=1"},
        {"data:?", false, ""},       {"data:??x", false, "?x"},  {"file:/tmp/x", true, "/tmp/x"},
        {"dat", false, "dat"},
    };
    for (const Case& c : cases) {
        const PostBody body = ParsePostData(c.data);
        EXPECT_EQ(body.fromFile, c.fromFile) << c.data;
        EXPECT_EQ(body.text, c.text) << c.data;
    }
}

TEST(HttpRequestTest, LoggedHeadHidesCredentials) {
    const std::pair<std::string, std::string> cases[] = {
        {"GET / HTTP/1.1\r\nHost: h\r\nAuthorization: Basic dTpwdw==\r\n\r\n",
         "GET / HTTP/1.1\r\nHost: h\r\nAuthorization: Basic ****\r\n\r\n"},
        {"proxy-authorization:   Basic dTpwdw==\r\nAccept: */*\r\n",
         "proxy-authorization: Basic ****\r\nAccept: */*\r\n"},
        // A value without a scheme is all secret; a line without its end keeps none.
        {"Authorization: dTpwdw==\r\nAuthorization: Digest a=1, b=2",
         "Authorization: ****\r\nAuthorization: Digest ****"},
        {"X-Authorization: kept\r\nCookie: Authorization: kept\r\n",
         "X-Authorization: kept\r\nCookie: Authorization: kept\r\n"},
    };
    for (const auto& [head, shown] : cases)
        EXPECT_EQ(MaskCredentialHeaders(head), shown) << head;
}

// A session with a user and password in its URL, directly and through an HTTP proxy (the
// scripted server plays the origin or the proxy): the server gets the real credentials in the
// Authorization header only, and the log shows none of them.
TEST_F(HttpSessionTest, CredentialsReachTheServerButNotTheLogOrTheRequestLine) {
    for (const bool viaProxy : {false, true}) {
        SCOPED_TRACE(viaProxy ? "through a proxy" : "direct");
        ScriptedServer server({script::ReadUntil("\r\n\r\n"),
                               script::Send("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n")});
        const std::string serverAddress = "127.0.0.1:" + std::to_string(server.Port());
        const std::string host = viaProxy ? "origin.test" : serverAddress;
        RefPtr<CHttpSession> session = NewSession(viaProxy ? "http://" + serverAddress : "");
        auto transfer = NewTransfer("http://joe:s3cret@" + host + "/f");
        log_.Clear();
        ASSERT_EQ(session->GetFileInfo(*transfer, &log_), 0) << log_.Text();
        const std::string target = viaProxy ? "http://" + host + "/f" : "/f";
        EXPECT_TRUE(server.Received().starts_with("HEAD " + target + " HTTP/1.1\r\n"))
            << server.Received();
        EXPECT_NE(server.Received().find("\r\nAuthorization: Basic " + Base64Encode("joe:s3cret") +
                                         "\r\n"),
                  std::string::npos)
            << server.Received();
        EXPECT_NE(log_.Find("\r\nAuthorization: Basic ****\r\n"), -1) << log_.Text();
        EXPECT_EQ(log_.Find("s3cret"), -1) << log_.Text();
        EXPECT_EQ(log_.Find(Base64Encode("joe:s3cret")), -1) << log_.Text();
    }
}

}  // namespace
}  // namespace tellweir::testing
