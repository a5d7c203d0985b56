// The proxy mapping's text forms and its protocol table.
#include "shell/settings/proxy_mapping.h"

#include "store/setting_ids.h"
#include "url/url_address.h"

namespace tellweir {

namespace {

constexpr ProxyProtocolSettings kProtocols[] = {
    {"HTTP", setting::kProxyHttp, setting::kProxyHttpEnabled},
    {"HTTPS", setting::kProxyHttps, setting::kProxyHttpsEnabled},
    {"FTP", setting::kProxyFtp, setting::kProxyFtpEnabled},
};

constexpr ProtocolId kTypes[] = {ProtocolId::Http, ProtocolId::Https, ProtocolId::Socks4,
                                 ProtocolId::Socks5};

}  // namespace

std::span<const ProxyProtocolSettings> ProxyProtocols() {
    return kProtocols;
}

const ProxyProtocolSettings* FindProxyProtocol(std::string_view name) {
    for (const ProxyProtocolSettings& p : kProtocols)
        if (p.name == name) return &p;
    return nullptr;
}

std::span<const ProtocolId> ProxyTypes() {
    return kTypes;
}

std::vector<ProxyRow> ParseProxyAll(std::string_view all) {
    std::vector<ProxyRow> rows;
    while (!all.empty()) {
        const std::size_t end = all.find(';');
        const std::string_view entry = all.substr(0, end);
        all = end == std::string_view::npos ? std::string_view() : all.substr(end + 1);
        const std::size_t arrow = entry.find("->");
        if (arrow == std::string_view::npos) continue;
        ProxyRow row{std::string(entry.substr(0, arrow)), std::string(entry.substr(arrow + 2))};
        CUrlAddress address;
        std::string path;
        if (ParseUrl(row.url, true, address, path)) rows.push_back(std::move(row));
    }
    return rows;
}

std::string FormatProxyAll(const std::vector<ProxyRow>& rows) {
    std::string all;
    for (const ProxyRow& row : rows)
        all += row.protocol + "->" + row.url + ";";
    return all;
}

std::string ProxyRowText(std::string_view url) {
    CUrlAddress address;
    std::string path;
    if (!ParseUrl(url, true, address, path)) return {};
    const std::string type(ProtocolName(address.protocol));
    const std::string port = std::to_string(address.port);
    if (address.user.empty()) return type + ": " + address.host + ":" + port;
    return type + ": " + address.user + "@" + address.host + ":" + port;
}

std::string ComposeProxyUrl(ProtocolId type, std::string_view host, std::int32_t port,
                            std::string_view user) {
    return ComposeUrl(type, host, {}, port, user, {});
}

}  // namespace tellweir
