// The "schedule" page: start now or at a chosen date and time, and for a periodic task the
// repeat interval and the days of the week, with a clock of the current time.
#pragma once

#include <QDateTime>
#include <array>

#include "core/monitor_task.h"
#include "shell/widgets/bound_page.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QRadioButton;
class QSpinBox;
class QTimeEdit;
class QTimer;

namespace tellweir {

// The pickers' time when the task has none: the next full minute after `now`.
QDateTime NextFullMinute(const QDateTime& now);

class CSchedulePage final : public CBoundPage {
    Q_OBJECT

  public:
    // `startNow` is the dialog's start-now flag, read on entry and written on leaving.
    CSchedulePage(CMonitorTask* task, bool& startNow, QWidget* parent = nullptr);

    void Enter() override;
    bool Leave() override;
    bool CanAdvance() const override;

    QRadioButton* StartNowButton() const { return startNow_; }
    QRadioButton* StartOnButton() const { return startOn_; }
    QDateEdit* DatePicker() const { return date_; }
    QTimeEdit* TimePicker() const { return time_; }
    QSpinBox* RepeatBox() const { return repeat_; }
    QComboBox* UnitBox() const { return unit_; }
    // Monday first, Sunday last.
    QCheckBox* DayBox(int index) const { return days_[index]; }
    QLabel* Clock() const { return clock_; }

  protected:
    void Refresh() override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void DaysChanged();
    void ShowClock();

    CMonitorTask* task_;
    bool& startNowFlag_;
    QLabel* clock_;
    QRadioButton* startNow_;
    QRadioButton* startOn_;
    QDateEdit* date_;
    QTimeEdit* time_;
    QLabel* repeatLabel_;
    QSpinBox* repeat_;
    QComboBox* unit_;
    QLabel* daysLabel_;
    std::array<QCheckBox*, 7> days_{};
    QTimer* timer_;
};

}  // namespace tellweir
