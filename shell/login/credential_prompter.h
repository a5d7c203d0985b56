// CCredentialPrompter: answers the prompt broker's credentials requests with login dialogs, one
// request at a time in the order they came; the others wait their turn. A request that goes away
// first (its transfer stopped, its time limit passed) closes its dialog. "Remember" keeps the
// password in the password store under the site's key, where the protocol clients look.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdint>

#include "transfer/prompt_broker.h"

class QWidget;

namespace tellweir {

class CLoginDialog;
class CPasswordStore;

class CCredentialPrompter final : public QObject {
    Q_OBJECT

  public:
    // The dialogs open over `window`. GUI thread only.
    CCredentialPrompter(CPromptBroker& broker, CPasswordStore& passwords, QWidget* window);
    ~CCredentialPrompter() override;

    // Looks at the broker's requests: closes the dialog of one that went away and opens the next.
    void Sync();
    // Refuses the request on show and closes its dialog (the windows are going away).
    void Stop();

    // The dialog on show; null when no request waits.
    CLoginDialog* Dialog() const;
    std::int32_t ShownRequest() const { return request_.id; }

  private:
    void Open(const PromptRequest& request);
    void Finish(CLoginDialog* dialog, bool accepted);
    void CloseDialog();

    CPromptBroker& broker_;
    CPasswordStore& passwords_;
    QWidget* window_;
    QPointer<CLoginDialog> dialog_;
    PromptRequest request_;  // the request on show; id 0 when none
    bool stopped_ = false;
};

// The password store's key of a site URL with `userName` ("ftp://alice@host:2121"); empty when
// `siteUrl` is no URL.
std::string PasswordKeyForSite(const std::string& siteUrl, const std::string& userName);

}  // namespace tellweir
