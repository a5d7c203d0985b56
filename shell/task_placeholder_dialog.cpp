// The plain task form.
#include "shell/task_placeholder_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "app/engine_commands.h"
#include "core/task_properties.h"

namespace tellweir {

namespace {

constexpr const char* kUnits[] = {"seconds", "minutes", "hours", "days",
                                  "weeks",   "months",  "years"};

}  // namespace

CTaskPlaceholderDialog::CTaskPlaceholderDialog(const CMonitorTask& task, bool isNew,
                                               QWidget* parent)
    : QDialog(parent),
      url_(new QLineEdit(QString::fromStdString(task.GetUri()), this)),
      name_(new QLineEdit(QString::fromStdString(task.GetName()), this)),
      download_(new QComboBox(this)),
      schedule_(new QComboBox(this)),
      repeat_(new QSpinBox(this)),
      unit_(new QComboBox(this)) {
    setWindowTitle(isNew ? QStringLiteral("New Task")
                         : QStringLiteral("Task: %1").arg(QString::fromStdString(task.GetName())));
    url_->setMinimumWidth(360);
    url_->setPlaceholderText(QStringLiteral("https://... , ftp://... or /path/to/file"));
    name_->setPlaceholderText(QStringLiteral("from the URL"));
    download_->addItems(
        {QStringLiteral("File information (size, dates)"), QStringLiteral("Whole content")});
    download_->setCurrentIndex(task.Int(task::kDownload) == 1 ? 1 : 0);
    schedule_->addItems(
        {QStringLiteral("Once"), QStringLiteral("Periodically"), QStringLiteral("Manually")});
    schedule_->setCurrentIndex(std::clamp(task.Int(task::kSchedule), 0, 2));
    repeat_->setRange(1, 1000);
    repeat_->setValue(std::clamp(task.Int(task::kScheduleRepeatValue), 1, 1000));
    for (const char* unit : kUnits)
        unit_->addItem(QString::fromLatin1(unit));
    const int unit =
        unit_->findText(QString::fromStdString(task.String(task::kScheduleRepeatUnit)));
    unit_->setCurrentIndex(unit >= 0 ? unit : 1);

    auto* every = new QHBoxLayout;
    every->addWidget(repeat_);
    every->addWidget(unit_, 1);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&URL:"), url_);
    form->addRow(QStringLiteral("&Name:"), name_);
    form->addRow(QStringLiteral("&Download:"), download_);
    form->addRow(QStringLiteral("&Schedule:"), schedule_);
    auto* everyLabel = new QLabel(QStringLiteral("&Every:"), this);
    everyLabel->setBuddy(repeat_);
    form->addRow(everyLabel, every);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(url_, &QLineEdit::textChanged, this, [this] { UpdateState(); });
    connect(schedule_, &QComboBox::currentIndexChanged, this, [this] { UpdateState(); });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    UpdateState();
}

void CTaskPlaceholderDialog::UpdateState() {
    ok_->setEnabled(!url_->text().trimmed().isEmpty());
    const bool periodic = schedule_->currentIndex() == task::kSchedulePeriodic;
    repeat_->setEnabled(periodic);
    unit_->setEnabled(periodic);
}

void CTaskPlaceholderDialog::ApplyTo(CMonitorTask& task) const {
    const std::string uri = url_->text().trimmed().toStdString();
    task.SetString(task::kUri, uri);
    const QString name = name_->text().trimmed();
    task.SetName(name.isEmpty() ? NameFromUri(uri) : name.toStdString());
    task.SetInt(task::kDownload, download_->currentIndex());
    task.SetInt(task::kSchedule, schedule_->currentIndex());
    task.SetInt(task::kScheduleRepeatValue, repeat_->value());
    task.SetString(task::kScheduleRepeatUnit, unit_->currentText().toStdString());
}

}  // namespace tellweir
