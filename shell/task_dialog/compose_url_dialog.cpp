// The URL composer.
#include "shell/task_dialog/compose_url_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "url/url_address.h"

namespace tellweir {

namespace {

constexpr ProtocolId kOffered[] = {ProtocolId::Http, ProtocolId::Https, ProtocolId::Ftp};

}  // namespace

CComposeUrlDialog::CComposeUrlDialog(const QString& url, QWidget* parent)
    : QDialog(parent),
      protocol_(new QComboBox(this)),
      host_(new QLineEdit(this)),
      port_(new QSpinBox(this)),
      path_(new QLineEdit(this)),
      auth_(new QCheckBox(tr("&Authentication required"), this)),
      user_(new QLineEdit(this)),
      password_(new QLineEdit(this)) {
    setWindowTitle(tr("Compose URL"));
    setModal(true);
    for (ProtocolId id : kOffered)
        protocol_->addItem(
            QString::fromUtf8(ProtocolName(id).data(), static_cast<int>(ProtocolName(id).size())),
            static_cast<int>(id));
    port_->setRange(0, 65534);
    port_->setValue(DefaultPort(ProtocolId::Http));
    host_->setMinimumWidth(300);
    password_->setEchoMode(QLineEdit::Password);

    CUrlAddress address;
    std::string path;
    if (ParseUrl(url.trimmed().toStdString(), true, address, path)) {
        const int index = protocol_->findData(static_cast<int>(address.protocol));
        protocol_->setCurrentIndex(index >= 0 ? index : 0);
        host_->setText(QString::fromStdString(address.host));
        port_->setValue(address.port);
        path_->setText(QString::fromStdString(path));
        user_->setText(QString::fromStdString(address.user));
        password_->setText(QString::fromStdString(address.password));
        auth_->setChecked(!address.user.empty());
    }
    shownProtocol_ = Protocol();

    auto* form = new QFormLayout;
    form->addRow(tr("P&rotocol:"), protocol_);
    form->addRow(tr("&Host:"), host_);
    form->addRow(tr("P&ort:"), port_);
    form->addRow(tr("Pa&th:"), path_);
    form->addRow(auth_);
    form->addRow(tr("&User:"), user_);
    form->addRow(tr("Pass&word:"), password_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    ok_->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(protocol_, &QComboBox::currentIndexChanged, this, [this] { ProtocolChosen(); });
    connect(host_, &QLineEdit::textChanged, this, [this] { UpdateState(); });
    connect(user_, &QLineEdit::textChanged, this, [this] { UpdateState(); });
    connect(auth_, &QCheckBox::toggled, this, [this] { UpdateState(); });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    UpdateState();
}

ProtocolId CComposeUrlDialog::Protocol() const {
    return static_cast<ProtocolId>(protocol_->currentData().toInt());
}

void CComposeUrlDialog::ProtocolChosen() {
    // A port the user left at a usual value follows the protocol; any other stays.
    const int port = port_->value();
    if (port == DefaultPort(shownProtocol_) || port == 8000 || port == 8080)
        port_->setValue(DefaultPort(Protocol()));
    shownProtocol_ = Protocol();
}

void CComposeUrlDialog::UpdateState() {
    const bool auth = auth_->isChecked();
    user_->setEnabled(auth);
    password_->setEnabled(auth);
    ok_->setEnabled(!host_->text().trimmed().isEmpty() &&
                    (!auth || !user_->text().trimmed().isEmpty()));
}

QString CComposeUrlDialog::Url() const {
    const bool auth = auth_->isChecked();
    const std::string user = auth ? user_->text().trimmed().toStdString() : std::string();
    const std::string password = auth ? password_->text().toStdString() : std::string();
    return QString::fromStdString(
        ComposeUrl(Protocol(), host_->text().trimmed().toLower().toStdString(),
                   path_->text().toStdString(), port_->value(), user, password));
}

bool RunComposeUrlDialog(QWidget* parent, const QString& url, QString& out) {
    CComposeUrlDialog dialog(url, parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    out = dialog.Url();
    return true;
}

}  // namespace tellweir
