// The proxy dialog: the fields of one proxy mapping row.
#include "shell/settings/proxy_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "shell/settings/proxy_mapping.h"

namespace tellweir {

namespace {

// The port a proxy of this type usually listens on.
int UsualPort(ProtocolId type) {
    return type == ProtocolId::Socks4 || type == ProtocolId::Socks5 ? 1080 : 8080;
}

}  // namespace

CProxyDialog::CProxyDialog(const ProxyEntry& entry, QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Enter Proxy"));
    setModal(true);

    protocol_ = new QComboBox(this);
    for (const ProxyProtocolSettings& p : ProxyProtocols())
        protocol_->addItem(
            QString::fromLatin1(p.name.data(), static_cast<qsizetype>(p.name.size())));
    protocol_->setCurrentIndex(std::max(0, protocol_->findText(entry.protocol)));
    type_ = new QComboBox(this);
    for (ProtocolId type : ProxyTypes()) {
        const std::string_view name = ProtocolName(type);
        type_->addItem(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())),
                       static_cast<int>(type));
    }
    type_->setCurrentIndex(std::max(0, type_->findData(static_cast<int>(entry.type))));
    previousType_ = type_->currentIndex();
    host_ = new QLineEdit(entry.host, this);
    host_->setMinimumWidth(fontMetrics().averageCharWidth() * 32);
    port_ = new QSpinBox(this);
    port_->setRange(1, 65534);
    port_->setValue(entry.port);
    user_ = new QLineEdit(entry.user, this);
    password_ = new QLineEdit(entry.password, this);
    password_->setEchoMode(QLineEdit::Password);

    auto* form = new QFormLayout;
    form->addRow(tr("&Protocol:"), protocol_);
    form->addRow(tr("P&roxy type:"), type_);
    form->addRow(tr("Proxy &server:"), host_);
    form->addRow(tr("Pr&oxy port:"), port_);
    form->addRow(tr("Proxy &user name:"), user_);
    form->addRow(tr("Proxy pass&word:"), password_);

    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons_->button(QDialogButtonBox::Ok)->setText(tr("OK"));
    buttons_->button(QDialogButtonBox::Cancel)->setText(tr("Cancel"));
    connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons_);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(type_, &QComboBox::currentIndexChanged, this, &CProxyDialog::TypeChanged);
    connect(host_, &QLineEdit::textChanged, this, &CProxyDialog::UpdateOk);
    UpdateOk();
    host_->setFocus();
}

void CProxyDialog::TypeChanged() {
    // A port left at the previous type's usual value follows the type.
    const auto previous = static_cast<ProtocolId>(type_->itemData(previousType_).toInt());
    const auto current = static_cast<ProtocolId>(type_->currentData().toInt());
    if (port_->value() == UsualPort(previous)) port_->setValue(UsualPort(current));
    previousType_ = type_->currentIndex();
}

void CProxyDialog::UpdateOk() {
    buttons_->button(QDialogButtonBox::Ok)->setEnabled(!host_->text().trimmed().isEmpty());
}

ProxyEntry CProxyDialog::Entry() const {
    ProxyEntry entry;
    entry.protocol = protocol_->currentText();
    entry.type = static_cast<ProtocolId>(type_->currentData().toInt());
    entry.host = host_->text().trimmed().toLower();
    entry.port = port_->value();
    entry.user = user_->text().trimmed();
    entry.password = password_->text();
    return entry;
}

bool RunProxyDialog(QWidget* parent, ProxyEntry& entry) {
    CProxyDialog dialog(entry, parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    entry = dialog.Entry();
    return true;
}

}  // namespace tellweir
