// The View Changes window.
#include "shell/changes_view/changes_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QShortcut>
#include <QSplitter>
#include <QTableView>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <memory>

#include "shell/changes_view/diff_view.h"
#include "shell/changes_view/version_list_model.h"
#include "shell/widgets/desktop_opener.h"
#include "shell/widgets/shell_icons.h"

namespace tellweir {

namespace {

// The versions opened on the desktop: one owner-only folder, removed with its files at exit.
QTemporaryDir& OpenedVersions() {
    static QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/tellweir-versions-XXXXXX"));
    return folder;
}

// A name's own extension when it has a short one, else one for its kind of text.
QString ExtensionFor(const VersionRecord& record) {
    QString suffix = QFileInfo(QString::fromStdString(record.name)).suffix();
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9]{1,8}$"));
    if (plain.match(suffix).hasMatch()) return suffix;
    const QString type = QString::fromStdString(record.contentType).toLower();
    if (type.contains(QLatin1String("html"))) return QStringLiteral("html");
    if (type.contains(QLatin1String("json"))) return QStringLiteral("json");
    if (type.contains(QLatin1String("xml"))) return QStringLiteral("xml");
    return QStringLiteral("txt");
}

QString FileNameFor(const std::string& taskName, const VersionRecord& record) {
    QString name = QString::fromStdString(taskName);
    for (QChar& c : name)
        if (!c.isLetterOrNumber() && c != QLatin1Char('-') && c != QLatin1Char('_'))
            c = QLatin1Char('_');
    return QStringLiteral("%1-version-%2.%3")
        .arg(name.left(64))
        .arg(record.number)
        .arg(ExtensionFor(record));
}

}  // namespace

CChangesWindow::CChangesWindow(MonitorTaskPtr task, bool versionsOff, QWidget* parent)
    : QWidget(parent, Qt::Window),
      task_(std::move(task)),
      versionsOff_(versionsOff),
      folder_(task_->GetVersionFolder()),
      info_(new QLabel(this)),
      model_(new CVersionListModel(this)),
      table_(new QTableView(this)),
      fromBox_(new QComboBox(this)),
      toBox_(new QComboBox(this)),
      sideBySide_(new QCheckBox(tr("&Side by side"), this)),
      wholeText_(new QCheckBox(tr("&Whole text"), this)),
      previous_(new QPushButton(tr("&Previous change"), this)),
      next_(new QPushButton(tr("&Next change"), this)),
      copy_(new QPushButton(tr("&Copy"), this)),
      open_(new QPushButton(tr("&Open this version"), this)),
      summary_(new QLabel(this)),
      view_(new CDiffView(this)) {
    setWindowTitle(tr("View Changes: %1").arg(QString::fromStdString(task_->GetName())));
    setWindowIcon(AppIcon());
    info_->setWordWrap(true);
    info_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    info_->hide();

    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    // The event takes the room left: the numbers stay next to each other.
    table_->horizontalHeader()->setSectionResizeMode(CVersionListModel::kEvent,
                                                     QHeaderView::Stretch);
    table_->setToolTip(tr("Double-click a version to compare it with the one before it"));
    connect(table_, &QTableView::activated, this,
            [this](const QModelIndex& index) { RowActivated(index.row()); });

    auto* fromLabel = new QLabel(tr("&From:"), this);
    fromLabel->setBuddy(fromBox_);
    auto* toLabel = new QLabel(tr("&To:"), this);
    toLabel->setBuddy(toBox_);
    fromBox_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    toBox_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    connect(fromBox_, &QComboBox::currentIndexChanged, this, &CChangesWindow::PairChosen);
    connect(toBox_, &QComboBox::currentIndexChanged, this, &CChangesWindow::PairChosen);
    sideBySide_->setToolTip(tr("The old version on the left, the new one on the right"));
    wholeText_->setToolTip(
        tr("The whole text rather than the changes with %1 lines around them").arg(kChangeContext));
    connect(sideBySide_, &QCheckBox::toggled, this, [this](bool on) {
        view_->SetLayout(on ? DiffLayout::SideBySide : DiffLayout::Unified);
        UpdateButtons();
    });
    connect(wholeText_, &QCheckBox::toggled, this, [this](bool on) {
        view_->SetContext(on ? -1 : kChangeContext);
        UpdateButtons();
    });
    previous_->setToolTip(tr("Previous change (Shift+F7)"));
    next_->setToolTip(tr("Next change (F7)"));
    copy_->setToolTip(tr("Copies the selected lines, or the whole difference as a unified diff"));
    open_->setToolTip(tr("Opens the \"To\" version with the desktop's application"));
    connect(previous_, &QPushButton::clicked, this, [this] {
        view_->PreviousChange();
        UpdateButtons();
    });
    connect(next_, &QPushButton::clicked, this, [this] {
        view_->NextChange();
        UpdateButtons();
    });
    connect(copy_, &QPushButton::clicked, this, &CChangesWindow::Copy);
    connect(open_, &QPushButton::clicked, this, [this] { (void)OpenVersion(); });
    connect(new QShortcut(QKeySequence(Qt::Key_F7), this), &QShortcut::activated, next_,
            &QPushButton::click);
    connect(new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F7), this), &QShortcut::activated,
            previous_, &QPushButton::click);
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
            &QWidget::close);
    connect(view_, &CDiffView::currentRowChanged, this, &CChangesWindow::UpdateButtons);

    auto* pair = new QHBoxLayout;
    pair->addWidget(fromLabel);
    pair->addWidget(fromBox_);
    pair->addWidget(toLabel);
    pair->addWidget(toBox_);
    pair->addSpacing(12);
    pair->addWidget(sideBySide_);
    pair->addWidget(wholeText_);
    pair->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(summary_, 1);
    for (QPushButton* button : {previous_, next_, copy_, open_}) {
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }

    auto* lower = new QWidget(this);
    auto* lowerLayout = new QVBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 0, 0, 0);
    lowerLayout->addLayout(pair);
    lowerLayout->addLayout(buttons);
    lowerLayout->addWidget(view_, 1);
    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(table_);
    splitter->addWidget(lower);
    splitter->setStretchFactor(1, 3);
    splitter->setChildrenCollapsible(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(info_);
    layout->addWidget(splitter, 1);
    setTabOrder(table_, fromBox_);
    setTabOrder(fromBox_, toBox_);
    setTabOrder(toBox_, sideBySide_);
    setTabOrder(sideBySide_, wholeText_);
    setTabOrder(wholeText_, view_);
    setTabOrder(view_, previous_);
    setTabOrder(previous_, next_);
    setTabOrder(next_, copy_);
    setTabOrder(copy_, open_);
    resize(900, 640);
    splitter->setSizes({150, 490});
    Reload();
}

CChangesWindow::~CChangesWindow() {
    if (worker_.joinable()) worker_.join();
}

void CChangesWindow::Reload() {
    const std::int32_t viewed = task_->GetViewedVersion();
    // Seen from now on: the row is no longer bold, and the next window opens after this.
    if (const std::int32_t newest = task_->GetNewestVersion(); newest > 0)
        (void)task_->SetViewedVersion(newest);  // a failed write shows again as unseen later
    ChangesRequest request;
    request.folder = folder_;
    request.list = true;
    request.viewed = viewed;
    Start(std::move(request));
}

void CChangesWindow::FollowTask() {
    const std::int32_t newest = task_->GetNewestVersion();
    const std::int32_t listed = model_->Versions().empty() ? 0 : model_->Versions().back().number;
    if (busy_ || newest == listed || newest <= 0) return;
    (void)task_->SetViewedVersion(newest);  // a failed write shows again as unseen later
    ChangesRequest request;
    request.folder = folder_;
    request.list = true;
    request.from = shown_.from;
    request.to = shown_.to;
    if (request.to <= 0) request.viewed = task_->GetViewedVersion();
    Start(std::move(request));
}

void CChangesWindow::ShowPair(std::int32_t from, std::int32_t to) {
    ChangesRequest request;
    request.folder = folder_;
    request.from = from;
    request.to = to;
    Start(std::move(request));
}

void CChangesWindow::Start(ChangesRequest request) {
    if (busy_) {
        pending_ = std::move(request);  // the newest wish wins; the running one is let finish
        return;
    }
    busy_ = true;
    info_->setText(tr("Comparing..."));
    info_->show();
    UpdateButtons();
    worker_ = std::thread([this, request = std::move(request)] {
        auto result = std::make_shared<ChangesResult>(LoadChanges(request));
        // The window joins this thread before it goes, so it is still there to take the call.
        QMetaObject::invokeMethod(
            this, [this, result] { Finished(std::move(*result)); }, Qt::QueuedConnection);
    });
}

void CChangesWindow::Finished(ChangesResult result) {
    if (worker_.joinable()) worker_.join();  // it has posted its result and is ending
    busy_ = false;
    if (result.listed) {
        model_->SetVersions(result.versions);
        table_->resizeColumnsToContents();
        shown_ = std::move(result);
        FillPairBoxes();
    } else {
        // A pair of the versions listed before.
        result.versions = std::move(shown_.versions);
        result.damaged = std::move(shown_.damaged);
        shown_ = std::move(result);
    }
    view_->SetDiff(shown_.diff);

    QStringList lines;
    if (shown_.versions.empty()) {
        lines << (versionsOff_ ? tr("No versions kept yet: versions are turned off in Settings "
                                    "(Misc, \"Versions kept\").")
                               : tr("No versions kept yet."));
    }
    for (const std::string& path : shown_.damaged)
        lines << tr("A damaged version file was skipped: %1").arg(QString::fromStdString(path));
    if (shown_.code == VersionCompare::Damaged)
        lines << tr("Version %1 or %2 cannot be read: its file is damaged.")
                     .arg(shown_.from)
                     .arg(shown_.to);
    else if (shown_.code == VersionCompare::NoSuchVersion)
        lines << tr("Version %1 or %2 is no longer kept.").arg(shown_.from).arg(shown_.to);
    info_->setText(lines.join(QLatin1Char('\n')));
    info_->setVisible(!lines.isEmpty());

    if (!shown_.diff)
        summary_->clear();
    else if (shown_.from == 0)
        summary_->setText(tr("The first version kept: %1")
                              .arg(QString::fromStdString(ChangeSummaryText(
                                  shown_.diff->Added(), shown_.diff->Removed()))));
    else if (shown_.diff->Equal())
        summary_->setText(tr("The two versions are the same."));
    else
        summary_->setText(QString::fromStdString(
            ChangeSummaryText(shown_.diff->Added(), shown_.diff->Removed())));
    // The first change is where the eye goes.
    if (shown_.diff && !view_->Rows().ChangeStarts().empty() && view_->Rows().ChangeStarts()[0] > 0)
        view_->NextChange();
    const int row = model_->RowOf(shown_.to);
    if (row >= 0) table_->selectRow(row);
    UpdateButtons();
    if (pending_) {
        // The user chose another pair meanwhile: the newest wish is compared next.
        ChangesRequest next = std::move(*pending_);
        pending_.reset();
        Start(std::move(next));
        return;
    }
    emit loaded();
}

void CChangesWindow::FillPairBoxes() {
    filling_ = true;
    fromBox_->clear();
    toBox_->clear();
    for (auto it = shown_.versions.rbegin(); it != shown_.versions.rend(); ++it) {
        const QString text = tr("Version %1 - %2")
                                 .arg(it->number)
                                 .arg(QString::fromStdString(it->time.Format("%Y-%m-%d %H:%M:%S")));
        fromBox_->addItem(text, it->number);
        toBox_->addItem(text, it->number);
    }
    if (shown_.from == 0 && !shown_.versions.empty()) fromBox_->addItem(tr("(nothing)"), 0);
    fromBox_->setCurrentIndex(fromBox_->findData(shown_.from));
    toBox_->setCurrentIndex(toBox_->findData(shown_.to));
    filling_ = false;
}

void CChangesWindow::PairChosen() {
    if (filling_) return;
    const std::int32_t from = fromBox_->currentData().toInt();
    const std::int32_t to = toBox_->currentData().toInt();
    if (to <= 0 || (from == shown_.from && to == shown_.to && !busy_)) return;
    ShowPair(from, to);
}

void CChangesWindow::RowActivated(int row) {
    const std::vector<VersionRecord>& versions = model_->Versions();
    if (row < 0 || row >= static_cast<int>(versions.size())) return;
    const std::int32_t to = versions[static_cast<std::size_t>(row)].number;
    const std::int32_t from = row > 0 ? versions[static_cast<std::size_t>(row) - 1].number : 0;
    filling_ = true;
    if (fromBox_->findData(from) < 0) fromBox_->addItem(tr("(nothing)"), 0);
    fromBox_->setCurrentIndex(fromBox_->findData(from));
    toBox_->setCurrentIndex(toBox_->findData(to));
    filling_ = false;
    ShowPair(from, to);
}

void CChangesWindow::UpdateButtons() {
    const bool diff = view_->Diff() != nullptr && !busy_;
    previous_->setEnabled(diff && view_->Rows().PreviousChange(view_->CurrentRow()) >= 0);
    next_->setEnabled(diff && view_->Rows().NextChange(view_->CurrentRow()) >= 0);
    copy_->setEnabled(diff && !view_->Diff()->Equal());
    open_->setEnabled(!busy_ && shown_.to > 0 && shown_.code == VersionCompare::Ok);
}

QString CChangesWindow::InfoText() const {
    return info_->isVisible() || !info_->text().isEmpty() ? info_->text() : QString();
}

QString CChangesWindow::SummaryText() const {
    return summary_->text();
}

QString CChangesWindow::UnifiedText() const {
    if (!shown_.diff) return {};
    const std::string name = task_->GetName();
    const std::string from =
        shown_.from > 0 ? VersionLabel(name, shown_.fromRecord) : std::string("/dev/null");
    return QString::fromStdString(
        FormatUnifiedDiff(*shown_.diff, from, VersionLabel(name, shown_.toRecord), kChangeContext));
}

void CChangesWindow::Copy() {
    if (view_->Copy()) return;
    const QString text = UnifiedText();
    if (!text.isEmpty()) QApplication::clipboard()->setText(text);
}

QString CChangesWindow::OpenVersion() {
    if (shown_.to <= 0) return {};
    std::string content;
    VersionRecord record;
    if (CVersionStore(folder_).Read(shown_.to, content, &record) != VersionRead::Ok) {
        info_->setText(
            tr("Version %1 cannot be read: its file is missing or damaged.").arg(shown_.to));
        info_->show();
        return {};
    }
    QTemporaryDir& folder = OpenedVersions();
    QString path =
        folder.isValid() ? folder.filePath(FileNameFor(task_->GetName(), record)) : QString();
    QFile file(path);
    if (path.isEmpty() ||
        !file.open(QIODevice::WriteOnly | QIODevice::Truncate,
                   QFile::ReadOwner | QFile::WriteOwner) ||
        file.write(content.data(), static_cast<qint64>(content.size())) !=
            static_cast<qint64>(content.size())) {
        info_->setText(tr("Version %1 could not be written to a temporary file: %2")
                           .arg(shown_.to)
                           .arg(file.errorString()));
        info_->show();
        return {};
    }
    file.close();
    OpenOnDesktop(this, path, [path](const QString& reason) {
        return tr("Cannot open \"%1\": %2").arg(path, reason);
    });
    return path;
}

}  // namespace tellweir
