// The "events" page: the task's events that have actions, with their action summaries, and the
// commands that add, edit and remove them. In the wizard a change of the URL's kind resets the
// event table to the defaults of the new kind.
#pragma once

#include "core/monitor_task.h"
#include "port/desktop_port.h"
#include "shell/widgets/bound_page.h"

class QPushButton;
class QTreeWidget;

namespace tellweir {

class CEventsPage final : public CBoundPage {
    Q_OBJECT

  public:
    // `builtKind` is the dialog's remembered kind of the URL the list was last built for.
    CEventsPage(CMonitorTask* task, bool wizard, int& builtKind, IDesktopPort& desktop,
                QWidget* parent = nullptr);

    bool CanAdvance() const override;

    QTreeWidget* List() const { return list_; }
    QPushButton* AddButton() const { return add_; }
    QPushButton* EditButton() const { return edit_; }
    QPushButton* RemoveButton() const { return remove_; }
    // The display names of the rows, top to bottom.
    QStringList RowNames() const;

  protected:
    void Refresh() override;

  private:
    void Rebuild(int selectEvent);
    void UpdateButtons();
    void AddEvent();
    void EditEvent();
    void RemoveEvents();
    // Runs the event dialog; on OK `oldEvent` (if any) is dropped and the chosen one set.
    void RunDialog(const QStringList& offered, int oldEvent, const QString& actions);

    CMonitorTask* task_;
    bool wizard_;
    int& builtKind_;
    IDesktopPort& desktop_;
    QTreeWidget* list_;
    QPushButton* add_;
    QPushButton* edit_;
    QPushButton* remove_;
};

}  // namespace tellweir
