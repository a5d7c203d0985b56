// CProxyDialog ("Enter Proxy"): one row of the proxy mapping: the protocol it serves, the proxy
// type, server, port, user name and password.
#pragma once

#include <QDialog>
#include <QString>

#include "url/protocol.h"

class QComboBox;
class QDialogButtonBox;
class QLineEdit;
class QSpinBox;

namespace tellweir {

struct ProxyEntry {
    QString protocol = QStringLiteral("HTTP");
    ProtocolId type = ProtocolId::Http;
    QString host;
    int port = 8080;
    QString user;
    QString password;
};

class CProxyDialog final : public QDialog {
    Q_OBJECT

  public:
    explicit CProxyDialog(const ProxyEntry& entry, QWidget* parent = nullptr);

    // The entry as entered: server and user trimmed, the server in lower case.
    ProxyEntry Entry() const;

    QComboBox* Protocol() const { return protocol_; }
    QComboBox* Type() const { return type_; }
    QLineEdit* Host() const { return host_; }
    QSpinBox* Port() const { return port_; }
    QLineEdit* User() const { return user_; }
    QLineEdit* Password() const { return password_; }

  private:
    void TypeChanged();
    void UpdateOk();

    QComboBox* protocol_;
    QComboBox* type_;
    QLineEdit* host_;
    QSpinBox* port_;
    QLineEdit* user_;
    QLineEdit* password_;
    QDialogButtonBox* buttons_;
    int previousType_ = 0;
};

// Runs the dialog modally; true and the new entry on OK.
bool RunProxyDialog(QWidget* parent, ProxyEntry& entry);

}  // namespace tellweir
