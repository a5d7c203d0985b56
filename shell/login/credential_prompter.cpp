// Credentials requests answered in login dialogs.
#include "shell/login/credential_prompter.h"

#include <QWidget>

#include "shell/login/login_dialog.h"
#include "store/password_store.h"
#include "url/url_address.h"

namespace tellweir {

std::string PasswordKeyForSite(const std::string& siteUrl, const std::string& userName) {
    CUrlAddress address;
    std::string path;
    if (siteUrl.empty() || !ParseUrl(siteUrl, true, address, path)) return {};
    address.user = userName;
    address.password.clear();
    return ComposeUrl(address, "", UrlParts{.user = true});
}

CCredentialPrompter::CCredentialPrompter(CPromptBroker& broker, CPasswordStore& passwords,
                                         QWidget* window)
    : QObject(window), broker_(broker), passwords_(passwords), window_(window) {}

CCredentialPrompter::~CCredentialPrompter() {
    Stop();
}

CLoginDialog* CCredentialPrompter::Dialog() const {
    return dialog_;
}

void CCredentialPrompter::Sync() {
    if (stopped_) return;
    PromptRequest first;
    const bool waiting = broker_.GetPending(first);
    // Requests are answered in order, so the one on show stays the first until it goes away.
    if (dialog_ && waiting && first.id == request_.id) return;
    if (dialog_) CloseDialog();
    if (waiting) Open(first);
}

void CCredentialPrompter::Stop() {
    stopped_ = true;
    if (!dialog_) return;
    const std::int32_t id = request_.id;
    CloseDialog();
    (void)broker_.Cancel(id);  // false: it went away by itself meanwhile
}

void CCredentialPrompter::Open(const PromptRequest& request) {
    request_ = request;
    const bool canRemember = !PasswordKeyForSite(request.text, request.userName).empty();
    auto* dialog = new CLoginDialog(QString::fromStdString(request.text),
                                    QString::fromStdString(request.userName), canRemember, window_);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::finished, this,
            [this, dialog](int result) { Finish(dialog, result == QDialog::Accepted); });
    dialog_ = dialog;
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

void CCredentialPrompter::Finish(CLoginDialog* dialog, bool accepted) {
    if (dialog != dialog_) return;
    PromptRequest answer = request_;
    dialog_ = nullptr;
    request_ = PromptRequest{};
    if (accepted) {
        answer.refused = false;
        answer.userName = dialog->UserName().toStdString();
        answer.password = dialog->Password().toStdString();
        // Kept only for a request still waiting: an answer that came too late logs in nowhere.
        if (broker_.Answer(answer) && dialog->Remember())
            (void)passwords_.Set(PasswordKeyForSite(answer.text, answer.userName), answer.password);
    } else {
        (void)broker_.Cancel(answer.id);  // false: it went away by itself meanwhile
    }
    // The next request, if one waits.
    Sync();
}

void CCredentialPrompter::CloseDialog() {
    CLoginDialog* dialog = dialog_;
    dialog_ = nullptr;
    request_ = PromptRequest{};
    // Closed for the request, not by the user: nothing is answered.
    dialog->disconnect(this);
    dialog->close();
}

}  // namespace tellweir
