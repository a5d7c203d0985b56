// The HTTP request sample, through the same settings copy and request builder a transfer uses.
#include "shell/settings/http_sample.h"

#include "net/http/http_request.h"
#include "transfer/transfer_request.h"

namespace tellweir {

std::string BuildHttpSample(const CPropertySet& settings) {
    CTransferRequest request;
    CopySettingsIntoRequest(settings, request);
    request.SetUrl("http://www.example.com/sample/index.html", true);
    request.SetString(prop::kReferrer, "http://www.example.com/index.html");
    request.SetString(prop::kCookie, "CookieName=CookieValue;");
    return BuildRequest(request, request.Address(), "GET", false, 0, -1);
}

}  // namespace tellweir
