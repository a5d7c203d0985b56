// The action dialog and its action test.
#include "shell/task_dialog/action_dialog.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>
#include <memory>

#include "core/action_line.h"
#include "core/action_runner.h"
#include "shell/task_dialog/action_test_threads.h"
#include "shell/task_dialog/url_page.h"
#include "shell/widgets/message_box.h"
#include "store/app_settings.h"
#include "store/setting_ids.h"
#include "url/url_address.h"

namespace tellweir {

namespace {

QString Name(int code) {
    const std::string_view name = ActionName(code);
    return QString::fromUtf8(name.data(), static_cast<int>(name.size()));
}

}  // namespace

void AddPathCompletion(QPlainTextEdit* edit) {
    auto* completer = new QCompleter(edit);
    auto* model = new QFileSystemModel(completer);
    model->setRootPath(QString());
    model->setOption(QFileSystemModel::DontWatchForChanges);
    completer->setModel(model);
    completer->setWidget(edit);
    completer->setCompletionMode(QCompleter::PopupCompletion);
    QObject::connect(edit, &QPlainTextEdit::textChanged, completer, [edit, completer] {
        const QString text = edit->toPlainText();
        if (!edit->hasFocus() || !text.startsWith(QLatin1Char('/')) || text.contains('\n')) {
            completer->popup()->hide();
            return;
        }
        completer->setCompletionPrefix(text);
        QRect rect = edit->cursorRect();
        rect.setWidth(edit->width());
        completer->complete(rect);
    });
    QObject::connect(completer, qOverload<const QString&>(&QCompleter::activated), edit,
                     [edit](const QString& path) {
                         const QSignalBlocker quiet(edit);
                         edit->setPlainText(path);
                         edit->moveCursor(QTextCursor::End);
                     });
}

CActionDialog::CActionDialog(const QString& line, IDesktopPort& desktop, QWidget* parent)
    : QDialog(parent),
      desktop_(desktop),
      action_(new QComboBox(this)),
      parameters_(new QPlainTextEdit(this)),
      browse_(new QPushButton(tr("&Browse..."), this)),
      test_(new QPushButton(tr("&Test Action"), this)) {
    setWindowTitle(tr("Monitor Action"));
    setModal(true);
    for (int code = 0; code < kActionCount; ++code)
        action_->addItem(Name(code));
    std::string parameter;
    action_->setCurrentIndex(ParseActionLine(line.toStdString(), parameter));
    parameters_->setPlainText(QString::fromStdString(parameter));
    parameters_->setTabChangesFocus(true);
    parameters_->setMinimumSize(360, 70);
    AddPathCompletion(parameters_);

    auto* actionLabel = new QLabel(tr("&Action:"), this);
    actionLabel->setBuddy(action_);
    auto* parametersLabel = new QLabel(tr("&Parameters:"), this);
    parametersLabel->setBuddy(parameters_);
    auto* grid = new QGridLayout;
    grid->addWidget(actionLabel, 0, 0);
    grid->addWidget(action_, 0, 1);
    grid->addWidget(parametersLabel, 1, 0, Qt::AlignTop);
    grid->addWidget(parameters_, 1, 1);
    auto* side = new QHBoxLayout;
    side->addWidget(browse_);
    side->addWidget(test_);
    side->addStretch(1);
    grid->addLayout(side, 2, 1);
    grid->setColumnStretch(1, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    browse_->setAutoDefault(false);
    test_->setAutoDefault(false);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(action_, &QComboBox::currentIndexChanged, this, [this] { UpdateState(); });
    connect(browse_, &QPushButton::clicked, this, [this] { Browse(); });
    connect(test_, &QPushButton::clicked, this, [this] { Test(); });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);
    UpdateState();
}

void CActionDialog::UpdateState() {
    const int code = action_->currentIndex();
    parameters_->setEnabled(code >= kActionPrompt && code <= kActionOpenInShell);
    browse_->setEnabled(code >= kActionPlaySound && code <= kActionOpenInShell);
    test_->setEnabled(!testing_ && code >= kActionNone && code <= kActionOpenInShell);
}

std::optional<QString> CActionDialog::ComposeLine() {
    const int code = action_->currentIndex();
    QString parameters = parameters_->toPlainText().trimmed();
    parameters.replace(QLatin1String("\r\n"), QLatin1String(" "));
    parameters.replace(QLatin1Char('\n'), QLatin1Char(' '));
    if (code >= kActionPlaySound && code <= kActionOpenInShell && !QFileInfo::exists(parameters)) {
        CUrlAddress address;
        std::string path;
        const bool isUrl =
            code == kActionOpenInShell && ParseUrl(parameters.toStdString(), true, address, path);
        if (!isUrl &&
            !AskYesNo(this, tr("Local file \"%1\" does not exist. Is it OK?").arg(parameters)))
            return std::nullopt;
    }
    QString line = Name(code);
    if (code >= kActionPrompt && code <= kActionOpenInShell) line += QLatin1Char(' ') + parameters;
    return line;
}

void CActionDialog::accept() {
    const std::optional<QString> line = ComposeLine();
    if (!line) return;
    line_ = *line;
    QDialog::accept();
}

void CActionDialog::Browse() {
    const BrowseStart start{
        QString::fromStdString(AppSettings().String(setting::kLastOpenedFolder)), QString()};
    QString path;
    if (BrowseForFile(this, start, path)) parameters_->setPlainText(path);
}

void CActionDialog::Test() {
    const std::optional<QString> line = ComposeLine();
    if (!line || testing_) return;
    testing_ = true;
    UpdateState();
    IDesktopPort* desktop = &desktop_;
    QPointer<CActionDialog> self(this);
    // The thread belongs to the program (joined at exit); its result comes back to this dialog
    // while it is open.
    CActionTestThreads::Instance().Start([self, desktop, text = line->toStdString()] {
        const QString result = QString::fromStdString(RunActionTest(text, *desktop));
        QMetaObject::invokeMethod(
            qApp,
            [self, result] {
                if (!self) return;
                self->testing_ = false;
                self->UpdateState();
                ShowMessage(self,
                            QString(result).replace(QLatin1String("\r\n"), QLatin1String("\n")),
                            QMessageBox::Information);
            },
            Qt::QueuedConnection);
    });
}

bool RunActionDialog(QWidget* parent, IDesktopPort& desktop, const QString& line, QString& out) {
    CActionDialog dialog(line, desktop, parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    out = dialog.Line();
    return true;
}

}  // namespace tellweir
