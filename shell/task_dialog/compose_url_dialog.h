// CComposeUrlDialog ("Compose URL"): builds a URL from a protocol, host, port, path and an
// optional user and password.
#pragma once

#include <QDialog>
#include <QString>

#include "url/protocol.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace tellweir {

class CComposeUrlDialog final : public QDialog {
    Q_OBJECT

  public:
    // Prefilled from `url` when it parses, else empty with HTTP on port 80.
    explicit CComposeUrlDialog(const QString& url, QWidget* parent = nullptr);

    // The URL the fields make (host trimmed and lower-cased, no user without authentication).
    QString Url() const;

    QComboBox* ProtocolBox() const { return protocol_; }
    QLineEdit* HostEdit() const { return host_; }
    QSpinBox* PortBox() const { return port_; }
    QLineEdit* PathEdit() const { return path_; }
    QCheckBox* AuthBox() const { return auth_; }
    QLineEdit* UserEdit() const { return user_; }
    QLineEdit* PasswordEdit() const { return password_; }
    QPushButton* OkButton() const { return ok_; }

  private:
    ProtocolId Protocol() const;
    void ProtocolChosen();
    void UpdateState();

    QComboBox* protocol_;
    QLineEdit* host_;
    QSpinBox* port_;
    QLineEdit* path_;
    QCheckBox* auth_;
    QLineEdit* user_;
    QLineEdit* password_;
    QPushButton* ok_ = nullptr;
    ProtocolId shownProtocol_ = ProtocolId::Http;
};

// Runs the composer on `url`; true and `out` set on OK.
bool RunComposeUrlDialog(QWidget* parent, const QString& url, QString& out);

}  // namespace tellweir
