// Feeds arbitrary bytes to the cookie store's readers of outside input: as a Set-Cookie value,
// as an expires text and as "Cookies.txt" content (each line also as a Set-Cookie value). Then
// asks for Cookie texts, and checks that what is saved reads back to the same file text.
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "net/cookie/cookie_date.h"
#include "net/cookie/cookie_store.h"

namespace {

using namespace tellweir;

const std::time_t kNow = CivilTimeToUtc({2030, 7, 1, 12, 0, 0});
const DateTime kAdded = DateTime::FromUnixTime(kNow);

std::time_t FixedClock() {
    return kNow;
}

// A date that was read is written and read again as the same instant.
void CheckExpires(std::string_view text) {
    std::time_t utc = 0;
    if (!ParseCookieExpires(text, utc)) return;
    std::time_t again = 0;
    if (!ParseCookieExpires(FormatCookieExpires(utc), again) || again != utc) __builtin_trap();
}

void AskForCookies(CCookieStore& store) {
    std::vector<std::string> hosts = {"www.site.test", "intranet"};
    store.Enumerate([&](const CCookieStore::Cookie& cookie) {
        if (hosts.size() < 16) hosts.push_back(cookie.domain);
    });
    std::string out;
    for (const std::string& host : hosts) {
        store.GetCookieHeader(host, "/", false, out);
        store.GetCookieHeader(host, "/a/b", true, out);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    CCookieStore headers(FixedClock);
    headers.AddFromHeader(text, "www.site.test", "/", kAdded);
    AskForCookies(headers);
    CheckExpires(text);

    CCookieStore file(FixedClock);
    file.LoadFromText(text);
    for (std::string_view rest = text; !rest.empty();) {
        const std::size_t end = rest.find('\n');
        file.AddFromHeader(rest.substr(0, end), "host.site.test", "/", kAdded);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    }
    AskForCookies(file);

    const std::string saved = file.SaveToText();
    CCookieStore reloaded(FixedClock);
    reloaded.LoadFromText(saved);
    if (reloaded.SaveToText() != saved) __builtin_trap();
    return 0;
}
