// The schedule page.
#include "shell/task_dialog/schedule_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QRadioButton>
#include <QTimeEdit>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <iterator>

#include "base/date_time.h"
#include "core/task_properties.h"
#include "shell/widgets/bound_spin_box.h"

namespace tellweir {

namespace {

// The week-day boxes from Monday to Sunday and the digit each stands for.
constexpr const char* kDayTexts[] = {"&Monday", "Tu&esday",  "&Wednesday", "T&hursday",
                                     "&Friday", "S&aturday", "S&unday"};
constexpr char kDayDigits[] = {'2', '3', '4', '5', '6', '7', '1'};
constexpr const char* kUnits[] = {"seconds", "minutes", "hours", "days", "weeks"};
constexpr int kClockMs = 250;

QDateTime FromDateTime(DateTime value) {
    return QDateTime::fromSecsSinceEpoch(value.ToUnixTime());
}

}  // namespace

QDateTime NextFullMinute(const QDateTime& now) {
    const QTime time = now.time();
    return QDateTime(now.date(), QTime(time.hour(), time.minute())).addSecs(60);
}

CSchedulePage::CSchedulePage(CMonitorTask* task, bool& startNow, QWidget* parent)
    : CBoundPage(QStringLiteral("schedule"), task, parent),
      task_(task),
      startNowFlag_(startNow),
      clock_(new QLabel(this)),
      startNow_(new QRadioButton(tr("Start n&ow"), this)),
      startOn_(new QRadioButton(tr("S&tart on:"), this)),
      date_(new QDateEdit(this)),
      time_(new QTimeEdit(this)),
      repeatLabel_(new QLabel(tr("&Repeat every:"), this)),
      repeat_(new CBoundSpinBox(1, 1000, this)),
      unit_(new QComboBox(this)),
      daysLabel_(new QLabel(tr("Repeat on the day(s) of the week below:"), this)),
      timer_(new QTimer(this)) {
    date_->setCalendarPopup(true);
    repeat_->setToolTip(tr("Type the number of delay units between monitor events"));
    repeatLabel_->setBuddy(repeat_);
    for (const char* unit : kUnits)
        unit_->addItem(tr(unit));
    QFont clockFont = clock_->font();
    clockFont.setBold(true);
    clock_->setFont(clockFont);
    BindInt(repeat_, task::kScheduleRepeatValue, 1, 1000);

    auto* start = new QGridLayout;
    start->addWidget(startNow_, 0, 0);
    start->addWidget(startOn_, 1, 0);
    auto* pickers = new QHBoxLayout;
    pickers->addWidget(date_);
    pickers->addWidget(time_);
    pickers->addStretch(1);
    start->addLayout(pickers, 1, 1);
    start->setColumnStretch(1, 1);

    auto* repeat = new QHBoxLayout;
    repeat->addWidget(repeatLabel_);
    repeat->addWidget(repeat_);
    repeat->addWidget(unit_);
    repeat->addStretch(1);

    auto* days = new QGridLayout;
    for (int i = 0; i < 7; ++i) {
        days_[i] = new QCheckBox(tr(kDayTexts[i]), this);
        days->addWidget(days_[i], i / 4, i % 4);
        connect(days_[i], &QCheckBox::toggled, this, [this] { DaysChanged(); });
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(tr("Select the time and day you want this task to start."), this));
    layout->addWidget(clock_);
    layout->addSpacing(4);
    layout->addLayout(start);
    layout->addSpacing(4);
    layout->addLayout(repeat);
    layout->addWidget(daysLabel_);
    layout->addLayout(days);
    layout->addStretch(1);

    connect(startOn_, &QRadioButton::toggled, this, [this] { Refresh(); });
    connect(timer_, &QTimer::timeout, this, [this] { ShowClock(); });
    timer_->setInterval(kClockMs);
    ShowClock();
}

void CSchedulePage::Enter() {
    CBoundPage::Enter();
    CPropertySet& task = *BoundSet();
    (startNowFlag_ ? startNow_ : startOn_)->setChecked(true);
    const std::string weekDays = task.String(task::kScheduleWeekDays);
    for (int i = 0; i < 7; ++i) {
        const QSignalBlocker quiet(days_[i]);
        days_[i]->setChecked(weekDays.find(kDayDigits[i]) != std::string::npos);
    }
    const int unit =
        unit_->findText(QString::fromStdString(task.String(task::kScheduleRepeatUnit)));
    unit_->setCurrentIndex(unit >= 0 ? unit : 1);
    const DateTime next = task_->GetTime(task::kNextStartTime);
    const QDateTime shown =
        next.days == 0.0 ? NextFullMinute(QDateTime::currentDateTime()) : FromDateTime(next);
    date_->setDate(shown.date());
    time_->setTime(shown.time());
    Refresh();
    emit changed();
}

bool CSchedulePage::Leave() {
    if (!CBoundPage::Leave()) return false;
    CPropertySet& task = *BoundSet();
    startNowFlag_ = startNow_->isChecked();
    if (!startNowFlag_) {
        const QDateTime chosen(date_->date(), time_->time());
        task_->SetTime(task::kNextStartTime, DateTime::FromUnixTime(chosen.toSecsSinceEpoch()));
    }
    task.SetString(task::kScheduleRepeatUnit, unit_->currentText().toStdString());
    return true;
}

bool CSchedulePage::CanAdvance() const {
    if (BoundSet()->Int(task::kSchedule) != task::kSchedulePeriodic) return true;
    return std::any_of(days_.begin(), days_.end(), [](QCheckBox* box) { return box->isChecked(); });
}

void CSchedulePage::Refresh() {
    const bool periodic = BoundSet()->Int(task::kSchedule) == task::kSchedulePeriodic;
    for (QWidget* widget : {static_cast<QWidget*>(repeatLabel_), static_cast<QWidget*>(repeat_),
                            static_cast<QWidget*>(unit_), static_cast<QWidget*>(daysLabel_)})
        widget->setVisible(periodic);
    for (QCheckBox* box : days_)
        box->setVisible(periodic);
    date_->setVisible(startOn_->isChecked());
    time_->setVisible(startOn_->isChecked());
}

void CSchedulePage::DaysChanged() {
    // One stored order whatever the boxes' order on screen: Sunday "1" to Saturday "7", so all
    // seven read as every day.
    std::string digits;
    for (char digit = '1'; digit <= '7'; ++digit) {
        const auto* at = std::find(std::begin(kDayDigits), std::end(kDayDigits), digit);
        if (days_[static_cast<std::size_t>(at - std::begin(kDayDigits))]->isChecked())
            digits += digit;
    }
    BoundSet()->SetString(task::kScheduleWeekDays, digits);
    emit changed();
}

void CSchedulePage::ShowClock() {
    clock_->setText(QLocale().toString(QDateTime::currentDateTime(), QLocale::LongFormat));
}

void CSchedulePage::showEvent(QShowEvent* event) {
    ShowClock();
    timer_->start();
    CBoundPage::showEvent(event);
}

void CSchedulePage::hideEvent(QHideEvent* event) {
    timer_->stop();
    CBoundPage::hideEvent(event);
}

}  // namespace tellweir
