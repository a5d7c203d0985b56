// The Proxy page: the addresses that bypass the proxy and the proxy mapping list, one checked
// row per protocol naming the proxy in force. Proxy passwords live in the password store only.
#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "shell/settings/proxy_dialog.h"
#include "shell/settings/settings_pages.h"
#include "store/password_store.h"
#include "store/setting_ids.h"
#include "url/url_address.h"

namespace tellweir {

namespace {

// Keeps the list's columns at 30 % and 70 % of its width.
class CColumnShares final : public QObject {
  public:
    explicit CColumnShares(QTreeWidget* list) : QObject(list), list_(list) {
        list->viewport()->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize) {
            const int width = list_->viewport()->width();
            list_->setColumnWidth(0, width * 3 / 10);
            list_->setColumnWidth(1, width - width * 3 / 10);
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    QTreeWidget* list_;
};

}  // namespace

CProxySettingsPage::CProxySettingsPage(CPropertySet& values, CPropertySet& target,
                                       CPasswordStore& passwords, QWidget* parent)
    : CSettingsPage(QStringLiteral("Proxy"), QStringLiteral("settings-proxy"), values, target,
                    parent),
      passwords_(passwords) {
    skipList_ = new QCheckBox(tr("&Do not use proxy for following addresses:"), this);
    skipAddresses_ = new QLineEdit(this);
    auto* note =
        new QLabel(tr("Use comma \",\" or semicolon \";\" as separator between addresses."), this);
    note->setWordWrap(true);
    auto* skipLocal = new QCheckBox(tr("Do not use proxy for &local addresses"), this);

    list_ = new QTreeWidget(this);
    list_->setColumnCount(2);
    list_->setHeaderLabels({tr("Protocol"), QStringLiteral("Proxy")});
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->header()->setStretchLastSection(false);
    new CColumnShares(list_);
    auto* listLabel = new QLabel(tr("&Proxy mapping:"), this);
    listLabel->setBuddy(list_);
    auto* add = new QPushButton(tr("&Add proxy..."), this);
    edit_ = new QPushButton(tr("&Edit"), this);
    remove_ = new QPushButton(tr("&Remove"), this);
    for (QPushButton* b : {add, edit_, remove_})
        b->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(add);
    buttons->addWidget(edit_);
    buttons->addWidget(remove_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(skipList_);
    layout->addWidget(skipAddresses_);
    layout->addWidget(note);
    layout->addWidget(skipLocal);
    layout->addSpacing(6);
    layout->addWidget(listLabel);
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);

    BindCheck(skipList_, setting::kProxySkipListEnabled);
    BindText(skipAddresses_, setting::kProxySkipList, true);
    BindCheck(skipLocal, setting::kProxySkipLocalEnabled);

    // The rows of "Proxy/All"; a row is checked when it is its protocol's proxy in force.
    rows_ = ParseProxyAll(values_.String(setting::kProxyAll));
    for (ProxyRow& row : rows_) {
        std::string password;
        if (passwords_.Get(row.url, password)) rowPasswords_[row.url] = password;
        const ProxyProtocolSettings* p = FindProxyProtocol(row.protocol);
        row.checked = p && values_.String(p->proxy) == row.url && values_.Int(p->enabled) == 1;
    }
    // What is in force is what the rows say: one checked row per protocol at most.
    for (const ProxyProtocolSettings& p : ProxyProtocols()) {
        values_.SetString(p.proxy, "");
        values_.SetInt(p.enabled, 0);
    }
    for (ProxyRow& row : rows_) {
        if (!row.checked) continue;
        const ProxyProtocolSettings* p = FindProxyProtocol(row.protocol);
        if (values_.Int(p->enabled) == 1)
            row.checked = false;
        else
            SetInForce(row);
    }
    FillList();

    connect(list_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
        const int index = list_->indexOfTopLevelItem(item);
        if (filling_ || column != 0 || index < 0) return;
        const bool checked = item->checkState(0) == Qt::Checked;
        if (checked != rows_[index].checked) RowChecked(index, checked);
    });
    connect(list_, &QTreeWidget::itemSelectionChanged, this, &CProxySettingsPage::Refresh);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, &CProxySettingsPage::EditProxy);
    connect(add, &QPushButton::clicked, this, &CProxySettingsPage::AddProxy);
    connect(edit_, &QPushButton::clicked, this, &CProxySettingsPage::EditProxy);
    connect(remove_, &QPushButton::clicked, this, &CProxySettingsPage::RemoveProxies);
}

void CProxySettingsPage::Refresh() {
    skipAddresses_->setEnabled(skipList_->isChecked());
    const int selected = static_cast<int>(list_->selectedItems().size());
    edit_->setEnabled(selected == 1);
    remove_->setEnabled(selected > 0);
}

void CProxySettingsPage::FillList() {
    filling_ = true;
    list_->clear();
    for (const ProxyRow& row : rows_) {
        auto* item = new QTreeWidgetItem(
            {QString::fromStdString(row.protocol), QString::fromStdString(ProxyRowText(row.url))});
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, row.checked ? Qt::Checked : Qt::Unchecked);
        list_->addTopLevelItem(item);
    }
    filling_ = false;
    Refresh();
}

void CProxySettingsPage::SetInForce(const ProxyRow& row) {
    if (const ProxyProtocolSettings* p = FindProxyProtocol(row.protocol)) {
        values_.SetString(p->proxy, row.url);
        values_.SetInt(p->enabled, 1);
    }
}

void CProxySettingsPage::RowChecked(int index, bool checked) {
    ProxyRow& row = rows_[static_cast<std::size_t>(index)];
    row.checked = checked;
    if (checked) {
        filling_ = true;
        for (std::size_t i = 0; i < rows_.size(); ++i) {
            if (static_cast<int>(i) == index || rows_[i].protocol != row.protocol) continue;
            rows_[i].checked = false;
            list_->topLevelItem(static_cast<int>(i))->setCheckState(0, Qt::Unchecked);
        }
        filling_ = false;
        SetInForce(row);
    } else if (const ProxyProtocolSettings* p = FindProxyProtocol(row.protocol)) {
        values_.SetInt(p->enabled, 0);
    }
    Changed();
}

void CProxySettingsPage::RowsChanged() {
    values_.SetString(setting::kProxyAll, FormatProxyAll(rows_));
    const QList<QTreeWidgetItem*> selected = list_->selectedItems();
    const int current = selected.size() == 1 ? list_->indexOfTopLevelItem(selected.front()) : -1;
    FillList();
    if (current >= 0 && current < list_->topLevelItemCount())
        list_->topLevelItem(current)->setSelected(true);
    Changed();
}

void CProxySettingsPage::AddRow(ProxyRow row, const std::string& password) {
    rowPasswords_[row.url] = password;
    rows_.push_back(std::move(row));
    if (rows_.back().checked) RowChecked(static_cast<int>(rows_.size()) - 1, true);
    RowsChanged();
}

void CProxySettingsPage::AddProxy() {
    ProxyEntry entry;
    if (!RunProxyDialog(this, entry)) return;
    AddRow({entry.protocol.toStdString(), ComposeProxyUrl(entry.type, entry.host.toStdString(),
                                                          entry.port, entry.user.toStdString())},
           entry.password.toStdString());
}

void CProxySettingsPage::EditProxy() {
    const QList<QTreeWidgetItem*> selected = list_->selectedItems();
    if (selected.size() != 1) return;
    const int index = list_->indexOfTopLevelItem(selected.front());
    const ProxyRow old = rows_[static_cast<std::size_t>(index)];
    ProxyEntry entry;
    CUrlAddress address;
    std::string path;
    if (ParseUrl(old.url, true, address, path)) {
        entry.type = address.protocol;
        entry.host = QString::fromStdString(address.host);
        entry.port = address.port;
        entry.user = QString::fromStdString(address.user);
    }
    entry.protocol = QString::fromStdString(old.protocol);
    entry.password = QString::fromStdString(rowPasswords_[old.url]);
    if (!RunProxyDialog(this, entry)) return;

    ProxyRow& row = rows_[static_cast<std::size_t>(index)];
    row.protocol = entry.protocol.toStdString();
    row.url =
        ComposeProxyUrl(entry.type, entry.host.toStdString(), entry.port, entry.user.toStdString());
    rowPasswords_[row.url] = entry.password.toStdString();
    if (old.checked) {
        // The edited row stays the proxy in force, now for its (maybe new) protocol.
        const ProxyProtocolSettings* p = FindProxyProtocol(old.protocol);
        if (p && old.protocol != row.protocol) values_.SetInt(p->enabled, 0);
        RowChecked(index, true);
    }
    RowsChanged();
}

void CProxySettingsPage::RemoveProxies() {
    std::vector<bool> gone(rows_.size(), false);
    for (QTreeWidgetItem* item : list_->selectedItems())
        gone[static_cast<std::size_t>(list_->indexOfTopLevelItem(item))] = true;
    std::vector<ProxyRow> kept;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (!gone[i]) {
            kept.push_back(rows_[i]);
        } else if (rows_[i].checked) {
            if (const ProxyProtocolSettings* p = FindProxyProtocol(rows_[i].protocol))
                values_.SetInt(p->enabled, 0);
        }
    }
    rows_ = std::move(kept);
    RowsChanged();
}

bool CProxySettingsPage::Apply() {
    for (const ProxyProtocolSettings& p : ProxyProtocols()) {
        target_.SetString(p.proxy, values_.String(p.proxy));
        target_.SetInt(p.enabled, values_.Int(p.enabled));
    }
    // Every row's password, so that a row checked later finds its password too.
    for (const ProxyRow& row : rows_) {
        const std::string& password = rowPasswords_[row.url];
        std::string stored;
        if (!password.empty())
            passwords_.Set(row.url, password);
        else if (passwords_.Get(row.url, stored))
            passwords_.Remove(row.url);
    }
    target_.SetString(setting::kProxyAll, values_.String(setting::kProxyAll));
    return CSettingsPage::Apply();
}

}  // namespace tellweir
