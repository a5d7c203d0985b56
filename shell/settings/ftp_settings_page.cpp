// The FTP page: how data connections are made.
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "shell/settings/settings_pages.h"
#include "store/setting_ids.h"

namespace tellweir {

CFtpSettingsPage::CFtpSettingsPage(CPropertySet& values, CPropertySet& target, QWidget* parent)
    : CSettingsPage(QStringLiteral("FTP"), QStringLiteral("settings-ftp"), values, target, parent) {
    auto* type = new QComboBox(this);
    type->addItems({QStringLiteral("PORT"), QStringLiteral("PASV"), QStringLiteral("PASV RFC")});
    auto* label = new QLabel(tr("&Data connection type:"), this);
    label->setBuddy(type);
    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(type);
    row->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addStretch(1);
    BindComboIndex(type, setting::kFtpDataConnectionType);
}

}  // namespace tellweir
