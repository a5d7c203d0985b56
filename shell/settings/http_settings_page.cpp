// The HTTP page: the request options, the User-Agent presets and the request sample that the
// current values produce.
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "shell/settings/http_sample.h"
#include "shell/settings/settings_pages.h"
#include "store/setting_ids.h"

namespace tellweir {

namespace {

constexpr const char* kUserAgentPresets[] = {
    "Brandolet 1.0",
    "Brandolet",
    "Mozilla/3.0 (compatible)",
    "Mozilla/3.0 (compatible; Brandolet 1.0)",
    "Mozilla/3.0 (compatible; MSIE 5.0)",
    "Mozilla/3.0 (compatible; MSIE 5.0; Brandolet 1.0)",
    "Mozilla/4.0 (compatible)",
    "Mozilla/4.0 (compatible; Brandolet 1.0)",
    "Mozilla/4.0 (compatible; MSIE 5.0)",
    "Mozilla/4.0 (compatible; MSIE 5.0; Brandolet 1.0)",
    "Mozilla/4.0 (compatible; MSIE 6.0)",
    "Mozilla/4.0 (compatible; MSIE 6.0 Brandolet 1.0)",
    "Mozilla/4.0 (compatible; MSIE 6.0; Windows 95)",
    "Mozilla/4.0 (compatible; MSIE 6.0; Windows 98)",
    "Mozilla/4.0 (compatible; MSIE 6.0; Windows ME)",
    "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 4.0)",
    "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)",
    "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0; Q312461)",
};

QComboBox* List(QWidget* parent, const QStringList& items) {
    auto* list = new QComboBox(parent);
    list->addItems(items);
    return list;
}

}  // namespace

CHttpSettingsPage::CHttpSettingsPage(CPropertySet& values, CPropertySet& target, QWidget* parent)
    : CSettingsPage(QStringLiteral("HTTP"), QStringLiteral("settings-http"), values, target,
                    parent) {
    auto* version =
        List(this, {QStringLiteral("1.0"), QStringLiteral("1.1"), QStringLiteral("1.2")});
    auto* versionLabel = new QLabel(tr("H&TTP version:"), this);
    versionLabel->setBuddy(version);
    enableConnection_ = new QCheckBox(tr("Include &Keep Alive parameter:"), this);
    connection_ = List(this, {QStringLiteral("Keep-Alive"), QStringLiteral("Close")});
    auto* connectionLabel = new QLabel(tr("C&onnection:"), this);
    connectionLabel->setBuddy(connection_);
    enableUserAgent_ = new QCheckBox(tr("&Include User-Agent"), this);
    userAgent_ = new QComboBox(this);
    userAgent_->setEditable(true);
    userAgent_->setInsertPolicy(QComboBox::NoInsert);
    for (const char* preset : kUserAgentPresets)
        userAgent_->addItem(QString::fromLatin1(preset));
    userAgent_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    userAgent_->setMinimumContentsLength(24);
    auto* userAgentLabel = new QLabel(tr("&User-Agent:"), this);
    userAgentLabel->setBuddy(userAgent_);
    auto* referrer = new QCheckBox(tr("Include &Referrer parameter"), this);
    auto* cookies = new QCheckBox(tr("E&nable Cookies"), this);
    auto* accept = new QCheckBox(tr("&Enable Accept parameter"), this);
    auto* pragma = new QCheckBox(tr("Enable &Pragma: no-cache (via HTTP proxy)"), this);
    sample_ = new QPlainTextEdit(this);
    sample_->setReadOnly(true);
    sample_->setLineWrapMode(QPlainTextEdit::NoWrap);
    sample_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* sampleLabel = new QLabel(tr("HTTP request &sample:"), this);
    sampleLabel->setBuddy(sample_);

    auto* grid = new QGridLayout;
    grid->addWidget(versionLabel, 0, 0);
    grid->addWidget(version, 0, 1, Qt::AlignLeft);
    grid->addWidget(enableConnection_, 1, 0);
    grid->addWidget(connectionLabel, 1, 1, Qt::AlignRight);
    grid->addWidget(connection_, 1, 2, Qt::AlignLeft);
    grid->addWidget(enableUserAgent_, 2, 0);
    grid->addWidget(userAgentLabel, 3, 0);
    grid->addWidget(userAgent_, 3, 1, 1, 3);
    grid->setColumnStretch(3, 1);
    auto* boxes = new QGridLayout;
    boxes->addWidget(referrer, 0, 0);
    boxes->addWidget(cookies, 0, 1);
    boxes->addWidget(accept, 1, 0);
    boxes->addWidget(pragma, 1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(boxes);
    layout->addWidget(sampleLabel);
    layout->addWidget(sample_, 1);

    BindComboIndex(version, setting::kHttpVersion);
    BindCheck(enableConnection_, setting::kHttpEnableConnection);
    BindComboIndex(connection_, setting::kHttpConnection);
    BindCheck(enableUserAgent_, setting::kHttpEnableUserAgent);
    BindText(userAgent_->lineEdit(), setting::kHttpUserAgent, true);
    BindCheck(referrer, setting::kHttpEnableReferrer);
    BindCheck(cookies, setting::kHttpEnableCookies);
    BindCheck(accept, setting::kHttpEnableAccept);
    BindCheck(pragma, setting::kHttpPragmaNoCache);
}

void CHttpSettingsPage::Refresh() {
    connection_->setEnabled(enableConnection_->isChecked());
    userAgent_->setEnabled(enableUserAgent_->isChecked());
    QString text = QString::fromStdString(BuildHttpSample(values_));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    sample_->setPlainText(text);
}

}  // namespace tellweir
