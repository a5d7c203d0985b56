// CLoginDialog: asks for the user name and password of one credentials request, naming the site
// that asks. Non-modal: the windows stay usable while it waits, and its owner closes it when the
// request goes away first.
#pragma once

#include <QDialog>
#include <QString>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace tellweir {

class CLoginDialog final : public QDialog {
    Q_OBJECT

  public:
    // `site` is what the request is about (the site's URL); `canRemember` offers "Remember".
    CLoginDialog(const QString& site, const QString& userName, bool canRemember,
                 QWidget* parent = nullptr);

    QString UserName() const;
    QString Password() const;
    bool Remember() const;

    QLabel* SiteLabel() const { return site_; }
    QLineEdit* UserEdit() const { return user_; }
    QLineEdit* PasswordEdit() const { return password_; }
    QCheckBox* RememberBox() const { return remember_; }

  private:
    QLabel* site_;
    QLineEdit* user_;
    QLineEdit* password_;
    QCheckBox* remember_;
};

}  // namespace tellweir
