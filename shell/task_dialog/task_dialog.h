// CTaskDialog: the task dialog, run as the new-task wizard (every page, a picture on the left,
// Back and Next) or on one page of an existing task (its events or its schedule, with OK).
#pragma once

#include <QDialog>
#include <QString>
#include <vector>

#include "core/monitor_task.h"
#include "port/desktop_port.h"

class QPushButton;
class QStackedWidget;

namespace tellweir {

class CBoundPage;

class CTaskDialog final : public QDialog {
    Q_OBJECT

  public:
    // `task` null: a new task is made and edited. `filter` empty: the wizard; else the name of
    // the one page shown ("events" or "schedule").
    CTaskDialog(MonitorTaskPtr task, const QString& filter, IDesktopPort& desktop,
                QWidget* parent = nullptr);

    const MonitorTaskPtr& Task() const { return task_; }
    bool IsWizard() const { return filter_.isEmpty(); }
    // The single-page Schedule dialog ended with "Start n&ow" chosen: the caller starts the task
    // (the wizard sets the new task's next start time itself).
    bool StartNowAsked() const { return !IsWizard() && startNow_; }

    CBoundPage* CurrentPage() const { return pages_[current_]; }
    // The page named `name`, or null when the dialog has none.
    CBoundPage* Page(const QString& name) const;
    // Null on a single page, which has OK and Cancel only.
    QPushButton* BackButton() const { return back_; }
    // "&Next >" or "Finish" in the wizard, "OK" on a single page.
    QPushButton* NextButton() const { return next_; }
    QPushButton* CancelButton() const { return cancel_; }

    void Next();
    void Back();

  private:
    void GoTo(int index);
    // The page after (step 1) or before (step -1) `index`, skipping "download" for "<null".
    int Neighbour(int index, int step) const;
    bool Finishing() const;
    void Finish();
    void UpdateButtons();
    static QString NextText() { return tr("&Next >"); }

    MonitorTaskPtr task_;
    QString filter_;
    std::vector<CBoundPage*> pages_;
    int current_ = 0;
    bool startNow_;
    int builtKind_;
    QStackedWidget* stack_;
    QPushButton* back_ = nullptr;
    QPushButton* next_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

// Runs the dialog modally. With `task` null the wizard makes a new task and hands it back in
// `task` on OK; with a task (the caller's copy) that task is edited. True on OK; `startNow`, when
// given, tells whether the Schedule dialog asked to start the task now.
bool RunTaskDialog(QWidget* parent, IDesktopPort& desktop, const QString& filter,
                   MonitorTaskPtr& task, bool* startNow = nullptr);

}  // namespace tellweir
