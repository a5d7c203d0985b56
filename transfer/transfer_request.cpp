// The transfer request and the copy of the settings that every transfer reads.
#include "transfer/transfer_request.h"

#include <algorithm>

#include "store/setting_ids.h"
#include "transfer/file_info.h"
#include "transfer/request_props.h"

namespace tellweir {

bool CTransferRequest::SetUrl(std::string_view url, bool strict) {
    CUrlAddress address;
    std::string path;
    if (!ParseUrl(url, strict, address, path)) return false;
    SetAddress(address, path);
    return true;
}

void CTransferRequest::SetAddress(const CUrlAddress& address, std::string_view path) {
    address_ = address;
    SetString(prop::kPath, path);
}

std::string CTransferRequest::ComposedUrl(UrlParts parts) const {
    return ComposeUrl(address_, parts.path ? String(prop::kPath) : std::string(), parts);
}

std::string CTransferRequest::SiteKey() const {
    return ComposedUrl(UrlParts{});
}

void CTransferRequest::Assign(const CTransferRequest& other) {
    if (this == &other) return;
    Merge(other, true);
    address_ = other.address_;
}

void CopySettingsIntoRequest(const CPropertySet& settings, CPropertySet& request) {
    request.SetInt(prop::kHttpVersion, std::clamp(settings.Int(setting::kHttpVersion), 0, 2));
    request.SetString(prop::kUserAgent, settings.String(setting::kHttpUserAgent));
    request.SetInt(prop::kConnection, std::clamp(settings.Int(setting::kHttpConnection), 0, 1));
    const std::pair<int, PropertyId> bits[] = {
        {prop::kFlagSendUserAgent, setting::kHttpEnableUserAgent},
        {prop::kFlagSendReferrer, setting::kHttpEnableReferrer},
        {prop::kFlagCookies, setting::kHttpEnableCookies},
        {prop::kFlagSendConnection, setting::kHttpEnableConnection},
        {prop::kFlagSendAccept, setting::kHttpEnableAccept},
        {prop::kFlagPragmaNoCache, setting::kHttpPragmaNoCache},
    };
    for (const auto& [bit, id] : bits)
        request.SetBit(prop::kFlags, bit, settings.Int(id) != 0);
    request.SetInt(prop::kFtpDataConnection, settings.Int(setting::kFtpDataConnectionType));
    request.SetInt(prop::kSiteLimit, settings.Int(setting::kMaxConnectsPerSite));
    request.SetInt(prop::kConnectRetries, settings.Int(setting::kConnectionRetries));
    request.SetInt(prop::kTransferRetries, settings.Int(setting::kTransferRetries));
    request.SetInt(prop::kConnectDelay, settings.Int(setting::kConnectionDelay));
    request.SetInt(prop::kMaxDownloadSize, settings.Int(setting::kMaxDownloadSize));
}

}  // namespace tellweir
