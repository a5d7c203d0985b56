// The About box.
#include "shell/widgets/about_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "shell/widgets/hyperlink_label.h"
#include "shell/widgets/shell_icons.h"
#include "store/app_identity.h"

namespace tellweir {

QString IdentityText(int slot) {
    std::string value;
    CAppIdentity::Instance().GetIdentity(slot, value);
    return QString::fromStdString(value);
}

QString AboutLine() {
    // The compiler's own date form: month abbreviation, day, four-digit year.
    return CAboutDialog::tr("%1, v.%2, build %3")
        .arg(IdentityText(CAppIdentity::kProduct), IdentityText(CAppIdentity::kVersion),
             QString::fromLatin1(__DATE__).simplified());
}

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(
        tr("About %1 %2")
            .arg(IdentityText(CAppIdentity::kProduct), IdentityText(CAppIdentity::kVersion)));
    auto* icon = new QLabel(this);
    icon->setPixmap(AppIcon().pixmap(48, 48));
    icon->setAlignment(Qt::AlignTop);

    auto* line = new QLabel(AboutLine(), this);
    line->setTextInteractionFlags(Qt::TextSelectableByMouse);
    mail_ = new CHyperlinkLabel(tr("E-mail us"), IdentityText(CAppIdentity::kSupportLink), this);
    home_ =
        new CHyperlinkLabel(tr("Visit Home page"), IdentityText(CAppIdentity::kHomePageLink), this);

    auto* text = new QVBoxLayout;
    text->addWidget(line);
    text->addSpacing(8);
    text->addWidget(mail_);
    text->addWidget(home_);
    text->addStretch();

    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addSpacing(12);
    top->addLayout(text, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setTabOrder(mail_, home_);
    setTabOrder(home_, buttons->button(QDialogButtonBox::Ok));
}

}  // namespace tellweir
