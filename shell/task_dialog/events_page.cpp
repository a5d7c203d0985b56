// The events page.
#include "shell/task_dialog/events_page.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "core/event_table.h"
#include "shell/task_dialog/event_dialog.h"

namespace tellweir {

namespace {

QString DisplayName(int event) {
    const std::string_view name = EventDisplayName(event);
    return QString::fromUtf8(name.data(), static_cast<int>(name.size()));
}

struct Row {
    std::string name;
    std::string summary;
    int event;
};

}  // namespace

CEventsPage::CEventsPage(CMonitorTask* task, bool wizard, int& builtKind, IDesktopPort& desktop,
                         QWidget* parent)
    : CBoundPage(QStringLiteral("events"), task, parent),
      task_(task),
      wizard_(wizard),
      builtKind_(builtKind),
      desktop_(desktop),
      list_(new QTreeWidget(this)),
      add_(new QPushButton(tr("&Add event"), this)),
      edit_(new QPushButton(tr("&Edit event"), this)),
      remove_(new QPushButton(tr("&Remove event(s)"), this)) {
    list_->setColumnCount(2);
    list_->setHeaderLabels({tr("Event"), tr("Actions")});
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setAllColumnsShowFocus(true);
    list_->header()->setSectionResizeMode(QHeaderView::Stretch);
    list_->setMinimumHeight(150);
    add_->setToolTip(tr("Add event handler"));
    remove_->setToolTip(tr("Remove event handler"));
    for (QPushButton* button : {add_, edit_, remove_})
        button->setAutoDefault(false);

    auto* label = new QLabel(tr("Specify what actions should be applied depending on monitor "
                                "events."),
                             this);
    label->setWordWrap(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(add_);
    buttons->addWidget(edit_);
    buttons->addWidget(remove_);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(label);
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);

    connect(add_, &QPushButton::clicked, this, [this] { AddEvent(); });
    connect(edit_, &QPushButton::clicked, this, [this] { EditEvent(); });
    connect(remove_, &QPushButton::clicked, this, [this] { RemoveEvents(); });
    connect(list_, &QTreeWidget::itemSelectionChanged, this, [this] { UpdateButtons(); });
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { EditEvent(); });
}

bool CEventsPage::CanAdvance() const {
    return list_->topLevelItemCount() > 0;
}

QStringList CEventsPage::RowNames() const {
    QStringList names;
    for (int row = 0; row < list_->topLevelItemCount(); ++row)
        names << list_->topLevelItem(row)->text(0);
    return names;
}

void CEventsPage::Refresh() {
    const int kind = task_->GetKind();
    if (kind != builtKind_) {
        // The events of one kind of URL mean little for another: a new URL starts afresh.
        if (wizard_) task_->ApplyDefaultEvents();
        builtKind_ = kind;
    }
    Rebuild(-1);
}

void CEventsPage::Rebuild(int selectEvent) {
    std::vector<Row> rows;
    task_->DescribeEvents(
        [&](int event, std::string_view, std::string_view summary) {
            rows.push_back({std::string(EventDisplayName(event)), std::string(summary), event});
        },
        [](int) {});
    std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.name < b.name; });
    list_->clear();
    for (const Row& row : rows) {
        auto* item = new QTreeWidgetItem(
            list_, {QString::fromStdString(row.name), QString::fromStdString(row.summary)});
        item->setData(0, Qt::UserRole, row.event);
        if (row.event == selectEvent) {
            item->setSelected(true);
            list_->setCurrentItem(item);
        }
    }
    UpdateButtons();
    emit changed();
}

void CEventsPage::UpdateButtons() {
    const auto selected = list_->selectedItems().size();
    add_->setEnabled(task_->HasUnsetEvents());
    edit_->setEnabled(selected == 1);
    remove_->setEnabled(selected >= 1);
}

void CEventsPage::RunDialog(const QStringList& offered, int oldEvent, const QString& actions) {
    QString event;
    QString text;
    if (!RunEventDialog(this, desktop_, offered, oldEvent >= 0 ? DisplayName(oldEvent) : QString(),
                        actions, event, text))
        return;
    const int chosen = FindEvent(event.toStdString());
    if (chosen < 0) return;
    if (oldEvent >= 0) task_->RemoveEvent(oldEvent);
    task_->SetEventActions(chosen, text.toStdString());
    Rebuild(chosen);
}

void CEventsPage::AddEvent() {
    QStringList unset;
    task_->DescribeEvents([](int, std::string_view, std::string_view) {},
                          [&](int event) { unset << DisplayName(event); });
    if (!unset.isEmpty()) RunDialog(unset, -1, QString());
}

void CEventsPage::EditEvent() {
    const QList<QTreeWidgetItem*> selected = list_->selectedItems();
    if (selected.size() != 1) return;
    const int event = selected.front()->data(0, Qt::UserRole).toInt();
    // The event itself, or any that has no actions yet, in the order of the kind's list.
    QStringList offered;
    task_->DescribeEvents(
        [&](int other, std::string_view, std::string_view) {
            if (other == event) offered << DisplayName(other);
        },
        [&](int other) { offered << DisplayName(other); });
    std::string actions;
    task_->GetEventActions(event, actions);
    RunDialog(offered, event, QString::fromStdString(actions));
}

void CEventsPage::RemoveEvents() {
    for (QTreeWidgetItem* item : list_->selectedItems())
        task_->RemoveEvent(item->data(0, Qt::UserRole).toInt());
    Rebuild(-1);
}

}  // namespace tellweir
