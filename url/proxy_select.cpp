// Proxy selection.
#include "url/proxy_select.h"

#include "base/ascii_text.h"
#include "store/setting_ids.h"
#include "url/local_host.h"
#include "url/wildcard_mask.h"

namespace tellweir {
namespace {

bool IsSet(const CPropertySet& settings, PropertyId id) {
    return settings.Int(id) != 0;
}

// The configured proxy for the target's protocol; empty when none is enabled.
std::string ProxyForProtocol(ProtocolId protocol, const CPropertySet& settings) {
    switch (protocol) {
        case ProtocolId::Http:
            return IsSet(settings, setting::kProxyHttpEnabled)
                       ? settings.String(setting::kProxyHttp)
                       : std::string();
        case ProtocolId::Https:
            return IsSet(settings, setting::kProxyHttpsEnabled)
                       ? settings.String(setting::kProxyHttps)
                       : std::string();
        case ProtocolId::Ftp:
            return IsSet(settings, setting::kProxyFtpEnabled) ? settings.String(setting::kProxyFtp)
                                                              : std::string();
        default:
            return {};
    }
}

// The proxy chosen by the settings for `target`; empty for a direct connection.
std::string ProxyBySettings(const CUrlAddress& target, const CPropertySet& settings) {
    if (IsSet(settings, setting::kProxySkipLocalEnabled) && IsLocalHost(target.host)) return {};
    if (IsSet(settings, setting::kProxySkipListEnabled) &&
        IsOnSkipList(settings.String(setting::kProxySkipList), target.host)) {
        return {};
    }
    return ProxyForProtocol(target.protocol, settings);
}

}  // namespace

bool IsOnSkipList(std::string_view skipList, std::string_view host) {
    while (!skipList.empty()) {
        const std::size_t end = skipList.find(';');
        const std::string_view mask = TrimAsciiSpace(skipList.substr(0, end));
        if (!mask.empty() && MatchWildcardMask(mask, host)) return true;
        if (end == std::string_view::npos) break;
        skipList.remove_prefix(end + 1);
    }
    return false;
}

std::string SelectProxy(const CPropertySet& request, const CUrlAddress& target,
                        const CPropertySet& settings) {
    std::string proxy = request.String(kRequestProxyUrl);
    if (proxy.empty()) proxy = ProxyBySettings(target, settings);
    if (proxy.empty() || EqualsIgnoreAsciiCase(proxy, "no")) return {};

    CUrlAddress parsed;
    std::string path;
    if (!ParseUrl(proxy, true, parsed, path)) return {};
    if (target.protocol == ProtocolId::Https) {
        if (parsed.protocol == ProtocolId::Ftp) return {};
        if (parsed.protocol == ProtocolId::Http) parsed.protocol = ProtocolId::Https;
    }
    return ComposeUrl(parsed, path, {.path = true, .user = true, .password = true});
}

}  // namespace tellweir
