// The request head and the POST body forms.
#include "net/http/http_request.h"

#include <algorithm>

#include "base/ascii_text.h"
#include "base/text_format.h"
#include "transfer/file_info.h"
#include "transfer/request_props.h"
#include "url/url_mask.h"

namespace tellweir {
namespace {

// "1.2" was never an HTTP version: a stored 2 asks for the newest this client speaks.
constexpr std::string_view kVersions[] = {"1.0", "1.1", "1.1"};
constexpr std::string_view kConnections[] = {"Keep-Alive", "Close"};

// Blanks are the one character a target is escaped for; the rest goes as the user wrote it.
// The absolute form a proxy gets names no user or password: a proxy may log request lines, and
// the credentials travel in the Authorization header alone.
std::string RequestTarget(const CPropertySet& transfer, const CUrlAddress& address, bool viaProxy) {
    const std::string path = RequestPath(transfer);
    std::string target = viaProxy ? ComposeUrl(address, path, UrlParts{.path = true}) : path;
    if (target.empty()) target = "/";
    std::string escaped;
    for (char c : target) {
        if (c == ' ')
            escaped += "%20";
        else
            escaped += c;
    }
    return escaped;
}

std::string HostValue(const CUrlAddress& address) {
    if (address.port == 80 || address.port == 0) return address.host;
    return Format("%s:%d", address.host, address.port);
}

}  // namespace

std::string RequestPath(const CPropertySet& transfer) {
    std::string path = transfer.String(prop::kRedirPath);
    return path.empty() ? transfer.String(prop::kPath) : path;
}

std::string BuildRequest(const CPropertySet& transfer, const CUrlAddress& address,
                         std::string_view method, bool viaProxy, std::int64_t start,
                         std::int64_t end) {
    const std::string verb = UpperAscii(method);
    const int version = std::clamp(transfer.Int(prop::kHttpVersion), 0, 2);
    std::string head =
        Format("%s %s HTTP/%s\r\nHost: %s\r\n", verb, RequestTarget(transfer, address, viaProxy),
               kVersions[version], HostValue(address));
    const bool get = verb == "GET";
    const bool post = verb == "POST";
    if (get && end == -1 && start != 0) head += Format("Range: bytes=%I64d-\r\n", start);
    if (get && end != -1) head += Format("Range: bytes=%I64d-%I64d\r\n", start, end);
    if (post) {
        head += Format("Content-Length: %I64d\r\n", end);
        const std::string type = transfer.String(prop::kLocalReserved);
        head += Format("Content-Type: %s\r\n",
                       type.empty() ? std::string("application/x-www-form-urlencoded") : type);
    }
    if (transfer.TestBit(prop::kFlags, prop::kFlagSendAccept)) head += "Accept: *.*, */*\r\n";
    if (viaProxy && transfer.TestBit(prop::kFlags, prop::kFlagPragmaNoCache))
        head += "Pragma: no-cache\r\n";
    const std::string referrer = transfer.String(prop::kReferrer);
    if (transfer.TestBit(prop::kFlags, prop::kFlagSendReferrer) && !referrer.empty())
        head += "Referer: " + referrer + "\r\n";
    // Only what a reply can be unpacked from: a deflate body would be saved still packed.
    if (get || post) head += "Accept-Encoding: gzip\r\n";
    const std::string agent = transfer.String(prop::kUserAgent);
    if (transfer.TestBit(prop::kFlags, prop::kFlagSendUserAgent) && !agent.empty())
        head += "User-Agent: " + agent + "\r\n";
    if (transfer.TestBit(prop::kFlags, prop::kFlagSendConnection)) {
        const std::string_view connection =
            kConnections[std::clamp(transfer.Int(prop::kConnection), 0, 1)];
        head += Format("Connection: %s\r\n", connection);
        if (viaProxy) head += Format("Proxy-Connection: %s\r\n", connection);
    }
    const std::string cookie = transfer.String(prop::kCookie);
    if (transfer.TestBit(prop::kFlags, prop::kFlagCookies) && !cookie.empty())
        head += "Cookie: " + cookie + "\r\n";
    if (!address.user.empty())
        head +=
            "Authorization: Basic " + Base64Encode(address.user + ":" + address.password) + "\r\n";
    head += "\r\n";
    return head;
}

std::string MaskCredentialHeaders(std::string_view head) {
    static constexpr std::string_view kSecretHeaders[] = {"Authorization:", "Proxy-Authorization:"};
    std::string shown;
    shown.reserve(head.size());
    while (!head.empty()) {
        const std::size_t next = head.find('\n');
        const std::string_view line = head.substr(0, next == head.npos ? head.size() : next + 1);
        head.remove_prefix(line.size());
        const auto secret = std::ranges::find_if(kSecretHeaders, [&](std::string_view name) {
            return StartsWithIgnoreAsciiCase(line, name);
        });
        if (secret == std::end(kSecretHeaders)) {
            shown += line;
            continue;
        }
        const std::string_view body = TrimTrailingAscii(line, IsLineBreak);
        const std::string_view value = TrimLeadingAscii(body.substr(secret->size()), IsBlankOrTab);
        // The scheme ("Basic") stays when credentials follow it; a lone token is all secret.
        const std::size_t blank = value.find(' ');
        shown.append(line.substr(0, secret->size())).append(" ");
        if (blank != value.npos) shown.append(value.substr(0, blank + 1));
        shown.append(kMaskedSecret).append(line.substr(body.size()));
    }
    return shown;
}

std::string Base64Encode(std::string_view bytes) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t count = std::min<std::size_t>(3, bytes.size() - i);
        std::uint32_t group = 0;
        for (std::size_t k = 0; k < 3; ++k)
            group = (group << 8) | (k < count ? static_cast<unsigned char>(bytes[i + k]) : 0u);
        for (std::size_t k = 0; k < 4; ++k)
            out += k <= count ? kAlphabet[(group >> (18 - 6 * k)) & 0x3F] : '=';
    }
    return out;
}

PostBody ParsePostData(std::string_view data) {
    if (data.size() >= 5 && data.starts_with("data:")) {
        std::string_view text = data.substr(5);
        if (!text.empty() && text.front() == '?') text.remove_prefix(1);
        return PostBody{false, std::string(text)};
    }
    if (data.starts_with("file:")) return PostBody{true, std::string(data.substr(5))};
    return PostBody{false, std::string(data)};
}

}  // namespace tellweir
