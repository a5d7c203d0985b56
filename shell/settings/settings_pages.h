// The pages of the settings dialog: Misc, Connection, Proxy, HTTP and FTP.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "shell/settings/proxy_mapping.h"
#include "shell/settings/settings_page.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace tellweir {

class CPasswordStore;

class CMiscSettingsPage final : public CSettingsPage {
    Q_OBJECT

  public:
    CMiscSettingsPage(CPropertySet& values, CPropertySet& target, QWidget* parent = nullptr);
};

class CConnectionSettingsPage final : public CSettingsPage {
    Q_OBJECT

  public:
    CConnectionSettingsPage(CPropertySet& values, CPropertySet& target, QWidget* parent = nullptr);

  protected:
    // Per site may not exceed the simultaneous downloads.
    bool Check() override;

  private:
    CBoundSpinBox* perSite_;
};

class CHttpSettingsPage final : public CSettingsPage {
    Q_OBJECT

  public:
    CHttpSettingsPage(CPropertySet& values, CPropertySet& target, QWidget* parent = nullptr);

    QPlainTextEdit* Sample() const { return sample_; }

  protected:
    // Enables the lists by their boxes and rebuilds the request sample.
    void Refresh() override;

  private:
    QCheckBox* enableConnection_;
    QComboBox* connection_;
    QCheckBox* enableUserAgent_;
    QComboBox* userAgent_;
    QPlainTextEdit* sample_;
};

class CFtpSettingsPage final : public CSettingsPage {
    Q_OBJECT

  public:
    CFtpSettingsPage(CPropertySet& values, CPropertySet& target, QWidget* parent = nullptr);
};

class CProxySettingsPage final : public CSettingsPage {
    Q_OBJECT

  public:
    CProxySettingsPage(CPropertySet& values, CPropertySet& target, CPasswordStore& passwords,
                       QWidget* parent = nullptr);

    // The proxy settings of the three protocols and "Proxy/All", the passwords into the
    // password store, then the bound values.
    bool Apply() override;

    QTreeWidget* List() const { return list_; }
    const std::vector<ProxyRow>& Rows() const { return rows_; }
    // Adds a row as "&Add proxy..." does after its dialog.
    void AddRow(ProxyRow row, const std::string& password);

  protected:
    void Refresh() override;

  private:
    void FillList();
    // The row's check as the user set it: the other rows of its protocol lose theirs.
    void RowChecked(int index, bool checked);
    void SetInForce(const ProxyRow& row);
    void RowsChanged();
    void AddProxy();
    void EditProxy();
    void RemoveProxies();

    CPasswordStore& passwords_;
    std::vector<ProxyRow> rows_;
    std::map<std::string, std::string> rowPasswords_;  // by proxy URL
    QCheckBox* skipList_;
    QLineEdit* skipAddresses_;
    QTreeWidget* list_;
    QPushButton* edit_;
    QPushButton* remove_;
    bool filling_ = false;
};

}  // namespace tellweir
