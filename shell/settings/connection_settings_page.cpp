// The Connection page: connection limits, retries, time-outs and TLS.
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "shell/settings/settings_pages.h"
#include "shell/widgets/message_box.h"
#include "store/setting_ids.h"

namespace tellweir {

CConnectionSettingsPage::CConnectionSettingsPage(CPropertySet& values, CPropertySet& target,
                                                 QWidget* parent)
    : CSettingsPage(QStringLiteral("Connection"), QStringLiteral("settings-connection"), values,
                    target, parent) {
    auto* grid = new QGridLayout;
    int row = 0;
    auto number = [&](const char* label, PropertyId id, int min, int max, const char* unit) {
        auto* edit = new CBoundSpinBox(min, max, this);
        auto* text = new QLabel(QString::fromLatin1(label), this);
        text->setBuddy(edit);
        grid->addWidget(text, row, 0);
        grid->addWidget(edit, row, 1);
        if (unit) grid->addWidget(new QLabel(QString::fromLatin1(unit), this), row, 2);
        ++row;
        BindInt(edit, id, min, max);
        return edit;
    };
    number("&Max simultaneous downloads:", setting::kMaxConnects, 1, 200, nullptr);
    perSite_ = number("Max connections per &site:", setting::kMaxConnectsPerSite, 1, 200, nullptr);
    number("C&onnection retries:", setting::kConnectionRetries, 0, 1000, nullptr);
    number("&Transfer retries:", setting::kTransferRetries, 0, 1000, nullptr);
    number("&Delay between retries:", setting::kConnectionDelay, 0, 3600, "seconds");
    number("&Reconnect if nothing received for:", setting::kConnectionTimeout, 10, 3600, "seconds");
    number("Transfer Time &Limit:", setting::kTransferTimeLimit, 0, 604800,
           "seconds (0: no limit)");

    auto* version = new QComboBox(this);
    version->addItems({QStringLiteral("SSLv2"), QStringLiteral("SSLv23"), QStringLiteral("SSLv3"),
                       QStringLiteral("TLSv1.0")});
    auto* versionLabel = new QLabel(tr("SSL/TLS &version:"), this);
    versionLabel->setBuddy(version);
    grid->addWidget(versionLabel, row, 0);
    grid->addWidget(version, row, 1);
    grid->setColumnStretch(3, 1);

    auto* untrusted = new QCheckBox(tr("Accept &Untrusted Certificates"), this);
    untrusted->setToolTip(
        tr("Accept https servers whose certificate fails verification; the failure "
           "is still logged"));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(untrusted);
    layout->addStretch(1);

    BindComboIndex(version, setting::kSslTlsVersion);
    BindCheck(untrusted, setting::kAcceptUntrustedCertificates);
}

bool CConnectionSettingsPage::Check() {
    if (values_.Int(setting::kMaxConnects) >= values_.Int(setting::kMaxConnectsPerSite))
        return true;
    ShowMessage(this, tr("Please enter max connection per site integer no more than "
                         "max downloads value."));
    perSite_->setFocus();
    perSite_->selectAll();
    return false;
}

}  // namespace tellweir
