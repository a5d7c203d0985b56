// CTaskPlaceholderDialog: a plain form for a task's URL, name, download mode and schedule, used
// for New Task, Events & Actions and Schedule until the task dialogs are built.
#pragma once

#include <QDialog>

#include "core/monitor_task.h"

class QComboBox;
class QLineEdit;
class QSpinBox;

namespace tellweir {

class CTaskPlaceholderDialog final : public QDialog {
    Q_OBJECT

  public:
    // Shows the values of `task`; `isNew` names it "New Task".
    CTaskPlaceholderDialog(const CMonitorTask& task, bool isNew, QWidget* parent = nullptr);

    // Writes the form into `task`; a blank name becomes the name the URL suggests.
    void ApplyTo(CMonitorTask& task) const;

    QLineEdit* UrlEdit() const { return url_; }
    QLineEdit* NameEdit() const { return name_; }
    QComboBox* DownloadBox() const { return download_; }
    QComboBox* ScheduleBox() const { return schedule_; }
    QSpinBox* RepeatBox() const { return repeat_; }
    QComboBox* UnitBox() const { return unit_; }

  private:
    void UpdateState();

    QLineEdit* url_;
    QLineEdit* name_;
    QComboBox* download_;
    QComboBox* schedule_;
    QSpinBox* repeat_;
    QComboBox* unit_;
    QPushButton* ok_ = nullptr;
};

}  // namespace tellweir
