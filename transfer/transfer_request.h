// CTransferRequest: what a caller hands the transfer manager — a property set describing one
// operation, together with the parsed URL it applies to (the path travels as property 50).
#pragma once

#include <string>
#include <string_view>

#include "store/property_set.h"
#include "url/url_address.h"

namespace tellweir {

class CTransferRequest : public CPropertySet {
  public:
    explicit CTransferRequest(Locking locking = Locking::None) : CPropertySet(locking) {}
    CTransferRequest(const CTransferRequest&) = default;
    CTransferRequest& operator=(const CTransferRequest&) = default;

    // Parses `url` into the address and the path (property 50). False leaves both unchanged.
    bool SetUrl(std::string_view url, bool strict = false);
    void SetAddress(const CUrlAddress& address, std::string_view path);
    const CUrlAddress& Address() const { return address_; }
    ProtocolId Protocol() const { return address_.protocol; }
    // The URL composed from the address and the path, with the parts asked for.
    std::string ComposedUrl(UrlParts parts) const;
    // Sessions are pooled under this key: the URL without path, user and password.
    std::string SiteKey() const;
    // Replaces the properties and the address by those of `other`.
    void Assign(const CTransferRequest& other);

  private:
    CUrlAddress address_;
};

// Copies the settings every transfer reads into the request: the HTTP and FTP options (100, 101,
// 102, 200, bits 12..17 of property 0), the connection limits and retries (3, 4, 5, 6) and the
// download size limit (7).
void CopySettingsIntoRequest(const CPropertySet& settings, CPropertySet& request);

}  // namespace tellweir
