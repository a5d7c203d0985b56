// Cookies over real HTTP with a scripted server on 127.0.0.1: every Set-Cookie of a reply is
// kept and sent back with the next request, and a cookie the server plants for another site is
// neither kept nor sent anywhere.
#include <string>

#include "tests/net/http_session_fixture.h"
#include "tests/support/scripted_server.h"

namespace tellweir::testing {
namespace {

using HttpCookieTest = HttpSessionTest;

TEST_F(HttpCookieTest, EverySetCookieIsKeptAndAPlantedOneNeverIs) {
    ScriptedServer server({
        script::ReadUntil("\r\n\r\n"),
        script::Send("HTTP/1.1 200 OK\r\n"
                     "Set-Cookie: a=1\r\n"
                     "Set-Cookie: planted=1; Domain=.other.example; Path=/\r\n"
                     "Set-Cookie: b=2; Path=/\r\n"
                     "Content-Length: 0\r\n\r\n"),
        script::ReadUntil("\r\n\r\n"),
        script::Send("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"),
    });
    const std::string site = "http://127.0.0.1:" + std::to_string(server.Port());
    RefPtr<CHttpSession> session = NewSession();
    auto first = NewTransfer(site + "/docs/index.html");
    ASSERT_EQ(session->GetFileInfo(*first, &log_), 0) << log_.Text();
    auto next = NewTransfer(site + "/docs/page.html");
    ASSERT_EQ(session->GetFileInfo(*next, &log_), 0) << log_.Text();
    ASSERT_TRUE(server.Wait());

    const std::string received = server.Received();
    const std::string secondRequest = received.substr(received.find("\r\n\r\n") + 4);
    // "a" got the folder of the first request as its path, so it goes first.
    EXPECT_NE(secondRequest.find("\r\nCookie: a=1; b=2\r\n"), std::string::npos) << secondRequest;

    std::size_t kept = 0;
    cookies_.Enumerate([&](const CCookieStore::Cookie& cookie) {
        EXPECT_EQ(cookie.domain, "127.0.0.1");
        EXPECT_TRUE(cookie.hostOnly);
        ++kept;
    });
    EXPECT_EQ(kept, 2u);
    std::string planted;
    EXPECT_FALSE(cookies_.GetCookieHeader("www.other.example", "/", true, planted)) << planted;
}

}  // namespace
}  // namespace tellweir::testing
