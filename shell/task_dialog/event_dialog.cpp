// The event dialog.
#include "shell/task_dialog/event_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <set>

#include "core/action_line.h"
#include "shell/task_dialog/action_dialog.h"

namespace tellweir {

namespace {

int CodeOf(const QString& line) {
    std::string parameter;
    return ParseActionLine(line.toStdString(), parameter);
}

// Actions that make sense once per event: the prompt, the beep, the icon and the engine's.
bool OncePerEvent(int code) {
    return (code >= kActionPrompt && code <= kActionLightIcon) || IsEngineAction(code);
}

}  // namespace

CEventDialog::CEventDialog(const QStringList& events, const QString& selected,
                           const QStringList& lines, IDesktopPort& desktop, QWidget* parent)
    : QDialog(parent),
      desktop_(desktop),
      event_(new QComboBox(this)),
      list_(new QListWidget(this)),
      add_(new QPushButton(tr("A&dd action"), this)),
      edit_(new QPushButton(tr("&Edit action"), this)),
      remove_(new QPushButton(tr("&Remove action"), this)) {
    setWindowTitle(tr("Event - Action"));
    setModal(true);
    event_->addItems(events);
    const auto index = static_cast<int>(events.indexOf(selected));
    event_->setCurrentIndex(index >= 0 ? index : 0);
    list_->addItems(lines);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setMinimumSize(340, 140);

    auto* eventLabel = new QLabel(tr("&Event:"), this);
    eventLabel->setBuddy(event_);
    auto* listLabel = new QLabel(tr("&Actions:"), this);
    listLabel->setBuddy(list_);
    auto* side = new QVBoxLayout;
    for (QPushButton* button : {add_, edit_, remove_}) {
        button->setAutoDefault(false);
        side->addWidget(button);
    }
    side->addStretch(1);
    auto* grid = new QGridLayout;
    grid->addWidget(eventLabel, 0, 0);
    grid->addWidget(event_, 1, 0);
    grid->addWidget(listLabel, 2, 0);
    grid->addWidget(list_, 3, 0);
    grid->addLayout(side, 3, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    ok_->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(add_, &QPushButton::clicked, this, [this] { AddAction(); });
    connect(edit_, &QPushButton::clicked, this, [this] { EditAction(); });
    connect(remove_, &QPushButton::clicked, this, [this] { RemoveActions(); });
    connect(list_, &QListWidget::itemSelectionChanged, this, [this] { UpdateState(); });
    connect(list_, &QListWidget::itemDoubleClicked, this, [this] { EditAction(); });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);
    Tidy(-1);
}

QString CEventDialog::Event() const {
    return event_->currentText();
}

QStringList CEventDialog::Lines() const {
    QStringList lines;
    for (int row = 0; row < list_->count(); ++row)
        lines << list_->item(row)->text();
    return lines;
}

QString CEventDialog::ActionText() const {
    return Lines().join(QStringLiteral("\r\n"));
}

void CEventDialog::Tidy(int selectRow) {
    QListWidgetItem* keep = selectRow >= 0 ? list_->item(selectRow) : nullptr;
    if (list_->count() >= 2)
        for (int row = list_->count() - 1; row >= 0; --row)
            if (CodeOf(list_->item(row)->text()) == kActionNone) {
                if (list_->item(row) == keep) keep = nullptr;
                delete list_->takeItem(row);
            }
    std::set<int> seen;
    for (int row = 0; row < list_->count();) {
        const int code = CodeOf(list_->item(row)->text());
        if (OncePerEvent(code) && !seen.insert(code).second) {
            // A duplicate of the row being selected leaves the first one selected instead.
            if (list_->item(row) == keep) keep = nullptr;
            delete list_->takeItem(row);
        } else {
            ++row;
        }
    }
    if (list_->count() == 0) {
        list_->addItem(QString::fromUtf8(ActionName(kActionNone).data()));
        keep = list_->item(0);
    }
    if (keep) {
        list_->clearSelection();
        list_->setCurrentItem(keep);
    }
    UpdateState();
}

void CEventDialog::UpdateState() {
    const bool offered = event_->count() > 0;
    ok_->setEnabled(offered);
    list_->setEnabled(offered);
    add_->setEnabled(offered);
    const int selected = static_cast<int>(list_->selectedItems().size());
    edit_->setEnabled(offered && selected == 1);
    remove_->setEnabled(offered && selected >= 1);
}

void CEventDialog::AddLine(const QString& line) {
    list_->addItem(line);
    Tidy(list_->count() - 1);
}

void CEventDialog::ReplaceLine(int row, const QString& line) {
    if (QListWidgetItem* item = list_->item(row)) item->setText(line);
    Tidy(row);
}

void CEventDialog::AddAction() {
    QString line;
    if (RunActionDialog(this, desktop_, QString(), line)) AddLine(line);
}

void CEventDialog::EditAction() {
    const QList<QListWidgetItem*> selected = list_->selectedItems();
    if (selected.size() != 1) return;
    const int row = list_->row(selected.front());
    QString line;
    if (RunActionDialog(this, desktop_, selected.front()->text(), line)) ReplaceLine(row, line);
}

void CEventDialog::RemoveActions() {
    for (QListWidgetItem* item : list_->selectedItems())
        delete list_->takeItem(list_->row(item));
    Tidy(-1);
}

bool RunEventDialog(QWidget* parent, IDesktopPort& desktop, const QStringList& events,
                    const QString& selected, const QString& actions, QString& outEvent,
                    QString& outActions) {
    QStringList lines;
    for (const std::string& line : SplitActionLines(actions.toStdString()))
        lines << QString::fromStdString(line);
    CEventDialog dialog(events, selected, lines, desktop, parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    outEvent = dialog.Event();
    outActions = dialog.ActionText();
    return true;
}

}  // namespace tellweir
