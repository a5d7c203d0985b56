// The settings dialog: page registration, the category tree, switching pages, Apply, OK and
// Cancel, and the help topic of a page.
#include "shell/settings/settings_dialog.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "shell/settings/settings_header.h"
#include "shell/settings/settings_pages.h"
#include "shell/widgets/desktop_opener.h"
#include "shell/widgets/message_box.h"
#include "store/app_settings.h"
#include "store/help_file.h"
#include "store/password_store.h"
#include "store/setting_ids.h"

namespace tellweir {

namespace {

constexpr int kPathRole = Qt::UserRole;

}  // namespace

CSettingsDialog::CSettingsDialog(const SettingsDialogContext& context, const QString& initialPath,
                                 QWidget* parent)
    : QDialog(parent),
      settings_(context.settings ? *context.settings : AppSettings()),
      passwords_(context.passwords ? *context.passwords : CPasswordStore::Instance()),
      save_(context.save),
      values_(settings_) {
    setWindowTitle(tr("Settings"));
    setModal(true);
    if (!save_) save_ = [](const CPropertySet& s) { SaveSettings(AppSettingTable(), s); };

    tree_ = new QTreeWidget(this);
    tree_->setHeaderHidden(true);
    tree_->setColumnCount(1);
    tree_->setFixedWidth(fontMetrics().averageCharWidth() * 22);
    auto* treeLabel = new QLabel(tr("&Category:"), this);
    treeLabel->setBuddy(tree_);
    header_ = new CSettingsHeader(this);
    stack_ = new QStackedWidget(this);

    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel |
                                        QDialogButtonBox::Apply | QDialogButtonBox::Help,
                                    this);
    ok_ = buttons_->button(QDialogButtonBox::Ok);
    apply_ = buttons_->button(QDialogButtonBox::Apply);
    ok_->setText(tr("OK"));
    buttons_->button(QDialogButtonBox::Cancel)->setText(tr("Cancel"));
    apply_->setText(tr("&Apply"));
    buttons_->button(QDialogButtonBox::Help)->setText(tr("Help (F&1)"));
    ok_->setDefault(true);
    for (auto which : {QDialogButtonBox::Cancel, QDialogButtonBox::Apply, QDialogButtonBox::Help})
        buttons_->button(which)->setAutoDefault(false);
    apply_->setEnabled(false);
    connect(buttons_, &QDialogButtonBox::accepted, this, &CSettingsDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &CSettingsDialog::reject);
    connect(apply_, &QPushButton::clicked, this, &CSettingsDialog::ApplyChanges);
    connect(buttons_, &QDialogButtonBox::helpRequested, this, &CSettingsDialog::ShowHelp);
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(f1, &QShortcut::activated, this, &CSettingsDialog::ShowHelp);

    auto* left = new QVBoxLayout;
    left->addWidget(treeLabel);
    left->addWidget(tree_, 1);
    auto* right = new QVBoxLayout;
    right->addWidget(header_);
    right->addWidget(stack_, 1);
    auto* top = new QHBoxLayout;
    top->addLayout(left);
    top->addLayout(right, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(buttons_);

    Register(QStringLiteral("- logs -"), QStringLiteral("Misc"),
             [this] { return new CMiscSettingsPage(values_, settings_); });
    Register(QStringLiteral("Connections"), QStringLiteral("Connection"),
             [this] { return new CConnectionSettingsPage(values_, settings_); });
    Register(QStringLiteral("Connections\\Proxy"), QStringLiteral("Proxy"),
             [this] { return new CProxySettingsPage(values_, settings_, passwords_); });
    Register(QStringLiteral("HTTP"), QStringLiteral("HTTP"),
             [this] { return new CHttpSettingsPage(values_, settings_); });
    Register(QStringLiteral("FTP"), QStringLiteral("FTP"),
             [this] { return new CFtpSettingsPage(values_, settings_); });
    tree_->expandAll();

    // Every page exists from the start, so the dialog is sized for the widest and keeps its
    // width when the user goes from page to page.
    for (PageDef& def : pages_)
        CreatePage(def);
    connect(tree_, &QTreeWidget::currentItemChanged, this, &CSettingsDialog::SelectionChanged);
    PageDef* first = Find(initialPath);
    if (!first) first = &pages_.front();
    tree_->setCurrentItem(first->item);
    tree_->setFocus();
    resize(sizeHint().expandedTo(
        QSize(fontMetrics().averageCharWidth() * 100, fontMetrics().height() * 26)));
}

CSettingsDialog::~CSettingsDialog() = default;

void CSettingsDialog::Register(const QString& path, const QString& title,
                               std::function<CSettingsPage*()> create) {
    // Every component is a node below the previous one; the last one is the page's.
    const QStringList parts = path.split(QLatin1Char('\\'));
    QTreeWidgetItem* parent = nullptr;
    QString prefix;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        prefix += (i ? QStringLiteral("\\") : QString()) + parts[i];
        QTreeWidgetItem* node = nullptr;
        const int count = parent ? parent->childCount() : tree_->topLevelItemCount();
        for (int k = 0; k < count && !node; ++k) {
            QTreeWidgetItem* item = parent ? parent->child(k) : tree_->topLevelItem(k);
            if (item->data(0, kPathRole).toString() == prefix) node = item;
        }
        if (!node) {
            node = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree_);
            node->setText(0, parts[i]);
            node->setData(0, kPathRole, prefix);
        }
        parent = node;
    }
    parent->setText(0, title);
    pages_.push_back({path, title, std::move(create), nullptr, parent});
}

CSettingsDialog::PageDef* CSettingsDialog::Find(const QString& path) {
    for (PageDef& def : pages_)
        if (def.path == path) return &def;
    return nullptr;
}

CSettingsPage* CSettingsDialog::Page(const QString& path) const {
    for (const PageDef& def : pages_)
        if (def.path == path) return def.page;
    return nullptr;
}

CSettingsPage* CSettingsDialog::CurrentPage() const {
    return Page(currentPath_);
}

void CSettingsDialog::SelectionChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous) {
    if (reverting_ || !current) return;
    CSettingsPage* leaving = CurrentPage();
    if (leaving && !leaving->Leave()) {
        // The page keeps the user until its values are right.
        reverting_ = true;
        tree_->setCurrentItem(previous);
        reverting_ = false;
        // A click goes on to select the clicked node after this; select the page's node again
        // once it is done.
        QTimer::singleShot(0, this, [this] {
            if (const PageDef* def = Find(currentPath_)) {
                reverting_ = true;
                tree_->setCurrentItem(def->item);
                reverting_ = false;
            }
        });
        return;
    }
    if (PageDef* def = Find(current->data(0, kPathRole).toString())) ShowPage(*def);
}

void CSettingsDialog::CreatePage(PageDef& def) {
    if (def.page) return;
    def.page = def.create();
    stack_->addWidget(def.page);
    OrderTabs(def.page);
    connect(def.page, &CSettingsPage::modified, this, [this] { apply_->setEnabled(true); });
}

void CSettingsDialog::ShowPage(PageDef& def) {
    CreatePage(def);
    def.page->Enter();
    Reveal(def);
}

void CSettingsDialog::Reveal(PageDef& def) {
    stack_->setCurrentWidget(def.page);
    header_->SetTitle(def.title);
    currentPath_ = def.path;
    if (tree_->currentItem() != def.item) {
        reverting_ = true;
        tree_->setCurrentItem(def.item);
        reverting_ = false;
    }
}

void CSettingsDialog::OrderTabs(CSettingsPage* page) {
    QList<QWidget*> chain;
    for (QWidget* w = page->nextInFocusChain(); w != page && page->isAncestorOf(w);
         w = w->nextInFocusChain()) {
        if (w->focusPolicy() & Qt::TabFocus) chain.push_back(w);
    }
    QWidget* last = tree_;
    for (QWidget* w : chain) {
        setTabOrder(last, w);
        last = w;
    }
    setTabOrder(last, ok_);
}

bool CSettingsDialog::ApplyChanges() {
    bool applied = false;
    for (PageDef& def : pages_) {
        if (!def.page || !def.page->IsModified()) continue;
        // A hidden page's controls still hold what the user left there.
        if (!def.page->Leave() || !def.page->Apply()) {
            if (def.path != currentPath_) Reveal(def);
            return false;
        }
        def.page->SetModified(false);
        applied = true;
    }
    if (applied) {
        save_(settings_);
        apply_->setEnabled(false);
    }
    return true;
}

void CSettingsDialog::accept() {
    if (ApplyChanges()) QDialog::accept();
}

void CSettingsDialog::ShowHelp() {
    std::string path = settings_.String(setting::kHelpFilePath);
    if (path.empty() || !QFileInfo::exists(QString::fromStdString(path)))
        path = FindHelpFile(settings_.String(setting::kExecutablePath));
    if (path.empty()) {
        ShowMessage(this, tr("Help file not found!"), QMessageBox::Critical);
        return;
    }
    QUrl url = QUrl::fromLocalFile(QString::fromStdString(path));
    if (const CSettingsPage* page = CurrentPage()) url.setFragment(page->HelpAnchor());
    OpenOnDesktop(this, url.toString(), HelpOpenFailure(path));
}

int RunSettingsDialog(QWidget* parent, const SettingsDialogContext& context) {
    CPropertySet& settings = context.settings ? *context.settings : AppSettings();
    int result = QDialog::Rejected;
    QString shown;
    {
        CSettingsDialog dialog(
            context, QString::fromStdString(settings.String(setting::kLastSettingsPath)), parent);
        result = dialog.exec();
        shown = dialog.CurrentPath();
    }
    settings.SetString(setting::kLastSettingsPath, shown.toStdString());
    if (context.save)
        context.save(settings);
    else
        SaveSettings(AppSettingTable(), settings);
    return result;
}

}  // namespace tellweir
