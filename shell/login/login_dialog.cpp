// The login dialog of a credentials request.
#include "shell/login/login_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "shell/widgets/shell_icons.h"

namespace tellweir {

CLoginDialog::CLoginDialog(const QString& site, const QString& userName, bool canRemember,
                           QWidget* parent)
    : QDialog(parent),
      site_(new QLabel(this)),
      user_(new QLineEdit(userName, this)),
      password_(new QLineEdit(this)),
      remember_(new QCheckBox(tr("&Remember"), this)) {
    setWindowTitle(tr("Login"));
    setWindowIcon(AppIcon());
    setModal(false);
    site_->setText(tr("The server %1 asks for a user name and password.").arg(site));
    site_->setTextFormat(Qt::PlainText);
    site_->setWordWrap(true);
    site_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    password_->setEchoMode(QLineEdit::Password);
    remember_->setEnabled(canRemember);
    remember_->setToolTip(tr("Keep the password in the password store for the next login"));

    auto* form = new QFormLayout;
    form->addRow(tr("&User name:"), user_);
    form->addRow(tr("&Password:"), password_);
    form->addRow(QString(), remember_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    // A login needs a user name; the password may be empty.
    const auto updateOk = [this, ok] { ok->setEnabled(!user_->text().trimmed().isEmpty()); };
    connect(user_, &QLineEdit::textChanged, this, updateOk);
    updateOk();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(site_);
    layout->addLayout(form);
    layout->addWidget(buttons);
    setMinimumWidth(360);
    // The user name is usually known (it came with the URL): the password is what is missing.
    if (userName.isEmpty())
        user_->setFocus();
    else
        password_->setFocus();
}

QString CLoginDialog::UserName() const {
    return user_->text().trimmed();
}

QString CLoginDialog::Password() const {
    return password_->text();
}

bool CLoginDialog::Remember() const {
    return remember_->isEnabled() && remember_->isChecked();
}

}  // namespace tellweir
