// CAboutDialog: the program's name, version and build date, its icon, and links to write to
// its makers and to visit its home page.
#pragma once

#include <QDialog>

namespace tellweir {

class CHyperlinkLabel;

class CAboutDialog final : public QDialog {
    Q_OBJECT

  public:
    explicit CAboutDialog(QWidget* parent = nullptr);

    CHyperlinkLabel* MailLink() const { return mail_; }
    CHyperlinkLabel* HomeLink() const { return home_; }

  private:
    CHyperlinkLabel* mail_;
    CHyperlinkLabel* home_;
};

// A slot of the program's identity (CAppIdentity) as text.
QString IdentityText(int slot);
// "Tellweir, v.1.1, build Dec 11 2026".
QString AboutLine();

}  // namespace tellweir
