// The download page.
#include "shell/task_dialog/download_page.h"

#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include "core/task_properties.h"
#include "url/local_path.h"

namespace tellweir {

QString DownloadInfoText(const QString& uri, int download) {
    QString next = CDownloadPage::tr("\r\n\r\nClick Next to continue.");
    if (uri.startsWith(QLatin1String("<null"))) return next;
    const bool local = IsLocalPath(uri.toStdString());
    if (download == 1) {
        return (local
                    ? CDownloadPage::tr("Copy local FILE CONTENT to create full copy of monitored "
                                        "object.")
                    : CDownloadPage::tr(
                          "Download remote FILE CONTENT to create full local copy of "
                          "monitored object.\r\n HTTP GET or FTP RETR will be used.")) +
               next;
    }
    return (local
                ? CDownloadPage::tr("Get and preserve local FILE INFORMATION only of monitored "
                                    "object.")
                : CDownloadPage::tr("Get and preserve remote FILE INFORMATION of monitored object "
                                    "without downloading entire file content.\r\n HTTP HEAD or FTP "
                                    "SIZE/MDTM will be used.")) +
           next;
}

CDownloadPage::CDownloadPage(CPropertySet* task, QWidget* parent)
    : CBoundPage(QStringLiteral("download"), task, parent),
      infoOnly_(new QRadioButton(tr("&Get file info only"), this)),
      content_(new QRadioButton(tr("&Download/Copy entire content of file"), this)),
      info_(new QLabel(this)) {
    infoOnly_->setToolTip(tr("Get file info only without downloading all content"));
    content_->setToolTip(tr("Download all file"));
    info_->setWordWrap(true);
    info_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    BindRadio({infoOnly_, content_}, task::kDownload);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(tr("Select file info transfer method."), this));
    layout->addSpacing(6);
    layout->addWidget(infoOnly_);
    layout->addWidget(content_);
    layout->addSpacing(8);
    layout->addWidget(info_, 1);
}

void CDownloadPage::Refresh() {
    QString text = DownloadInfoText(QString::fromStdString(BoundSet()->String(task::kUri)),
                                    BoundSet()->Int(task::kDownload));
    info_->setText(text.replace(QLatin1String("\r\n"), QLatin1String("\n")).trimmed());
}

}  // namespace tellweir
