// The URL page, its information text, Browse and the completion of the URL edit.
#include "shell/task_dialog/url_page.h"

#include <QCompleter>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringListModel>
#include <QVBoxLayout>

#include "core/task_properties.h"
#include "shell/task_dialog/compose_url_dialog.h"
#include "store/app_settings.h"
#include "store/setting_ids.h"
#include "store/url_history.h"
#include "url/local_path.h"
#include "url/protocol.h"
#include "url/url_address.h"

namespace tellweir {

namespace {

QString ClickNext() {
    return CUrlPage::tr("\r\n\r\nClick Next to continue.");
}

// The file a local URI names ("file:" URIs and "~/" resolved).
QString LocalFile(const QString& uri) {
    if (const auto path = PathFromFileUri(uri.toStdString())) return QString::fromStdString(*path);
    if (uri.startsWith(QLatin1String("~/"))) return QDir::homePath() + uri.mid(1);
    return uri;
}

QString ShownText(QString text) {
    return text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

}  // namespace

QString UrlInfoText(const QString& uri, bool& error) {
    error = false;
    if (uri.isEmpty()) {
        error = true;
        return CUrlPage::tr("URL is empty!");
    }
    if (uri.startsWith(QLatin1String("<null"))) return CUrlPage::tr("NULL - junk monitor");
    const std::string text = uri.toStdString();
    if (IsLocalPath(text)) {
        const QFileInfo file(LocalFile(uri));
        if (file.isFile()) return CUrlPage::tr("Existing local file") + ClickNext();
        if (file.isDir()) return CUrlPage::tr("Existing local folder") + ClickNext();
        return CUrlPage::tr("Unknown local file or folder") + ClickNext();
    }
    CUrlAddress address;
    std::string path;
    if (!ParseUrl(text, true, address, path)) {
        error = true;
        return CUrlPage::tr("Invalid URL format!");
    }
    const std::string_view protocol = ProtocolName(address.protocol);
    return CUrlPage::tr("URL protocol: %1\r\nHost: %2\r\nPort: %3\r\nPath: %4")
               .arg(QString::fromUtf8(protocol.data(), static_cast<int>(protocol.size())),
                    QString::fromStdString(address.host))
               .arg(address.port)
               .arg(path.empty() ? QStringLiteral("/") : QString::fromStdString(path)) +
           ClickNext();
}

BrowseStart BrowseStartFor(const QString& uri, const QString& lastFolder) {
    BrowseStart start{lastFolder, QString()};
    const QString trimmed = uri.trimmed();
    if (!trimmed.isEmpty()) {
        const QFileInfo file(trimmed);
        if (file.isDir())
            start.folder = trimmed;
        else if (file.isFile())
            start.folder = file.absolutePath();
    }
    const qsizetype separator =
        std::max(trimmed.lastIndexOf(QLatin1Char('/')), trimmed.lastIndexOf(QLatin1Char('\\')));
    if (separator >= 0) {
        const QString name = trimmed.mid(separator + 1);
        static const QString kWild = QStringLiteral("<>*|?");
        if (std::none_of(name.begin(), name.end(), [](QChar c) { return kWild.contains(c); }))
            start.name = name;
    }
    return start;
}

bool BrowseForFile(QWidget* parent, const BrowseStart& start, QString& path) {
    QFileDialog dialog(parent);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setDirectory(start.folder);
    if (!start.name.isEmpty()) dialog.selectFile(start.name);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    path = dialog.selectedFiles().constFirst();
    AppSettings().SetString(setting::kLastOpenedFolder, start.folder.toStdString());
    return true;
}

void AddUrlCompletion(QLineEdit* edit) {
    QStringList history;
    for (const std::string& url : CUrlHistory::Instance().Items())
        history << QString::fromStdString(url);
    auto* urls = new QCompleter(history, edit);
    urls->setCaseSensitivity(Qt::CaseInsensitive);
    urls->setFilterMode(Qt::MatchContains);
    auto* files = new QCompleter(edit);
    auto* model = new QFileSystemModel(files);
    model->setRootPath(QString());
    model->setOption(QFileSystemModel::DontWatchForChanges);
    files->setModel(model);
    edit->setCompleter(urls);
    // A path completes from the file system, anything else from the addresses typed before.
    QObject::connect(edit, &QLineEdit::textEdited, edit, [edit, urls, files](const QString& text) {
        QCompleter* wanted = text.startsWith(QLatin1Char('/')) ? files : urls;
        if (edit->completer() != wanted) {
            edit->setCompleter(wanted);
            wanted->setCompletionPrefix(text);
            wanted->complete();
        }
    });
}

CUrlPage::CUrlPage(CPropertySet* task, QWidget* parent)
    : CBoundPage(QStringLiteral("url"), task, parent),
      url_(new QLineEdit(this)),
      browse_(new QPushButton(tr("Br&owse..."), this)),
      compose_(new QPushButton(tr("&Compose URL..."), this)),
      info_(new QLabel(this)) {
    auto* prompt =
        new QLabel(tr("&Type a URL to be monitored by this task. It can be remote Web page or "
                      "local file or folder."),
                   this);
    prompt->setWordWrap(true);
    prompt->setBuddy(url_);
    url_->setToolTip(tr("Type full URL"));
    browse_->setToolTip(tr("Browse local file"));
    compose_->setToolTip(tr("Compose full URL"));
    info_->setWordWrap(true);
    info_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    info_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    AddUrlCompletion(url_);
    BindText(url_, task::kUri, true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(browse_);
    buttons->addWidget(compose_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(prompt);
    layout->addWidget(url_);
    layout->addLayout(buttons);
    layout->addSpacing(8);
    layout->addWidget(info_, 1);

    connect(browse_, &QPushButton::clicked, this, [this] { Browse(); });
    connect(compose_, &QPushButton::clicked, this, [this] { Compose(); });
}

void CUrlPage::Refresh() {
    info_->setText(ShownText(UrlInfoText(url_->text().trimmed(), error_)));
}

void CUrlPage::Browse() {
    const BrowseStart start = BrowseStartFor(
        url_->text(), QString::fromStdString(AppSettings().String(setting::kLastOpenedFolder)));
    QString path;
    if (BrowseForFile(this, start, path)) url_->setText(path);
}

void CUrlPage::Compose() {
    QString url;
    if (!RunComposeUrlDialog(this, url_->text(), url)) return;
    url_->setText(url);
    url_->setFocus();
    url_->selectAll();
}

}  // namespace tellweir
