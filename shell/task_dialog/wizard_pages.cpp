// The introduction and name pages.
#include "shell/task_dialog/wizard_pages.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/engine_commands.h"
#include "core/task_properties.h"

namespace tellweir {

CIntroPage::CIntroPage(QWidget* parent) : CBoundPage(QStringLiteral("intro"), nullptr, parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    for (const QString& line :
         {tr("This wizard helps you schedule a task for Tellweir to perform."),
          tr("You select the URL or local file path you want to monitor and then "
             "schedule it for convenient time."),
          tr("Click Next to continue.")}) {
        auto* label = new QLabel(line, this);
        label->setWordWrap(true);
        layout->addWidget(label);
        layout->addSpacing(8);
    }
    layout->addStretch(1);
}

CNamePage::CNamePage(CPropertySet* task, QWidget* parent)
    : CBoundPage(QStringLiteral("name"), task, parent), name_(new QLineEdit(this)) {
    auto* prompt = new QLabel(tr("&Type a name for this task. The task name can be "
                                 "the same name as the monitored URL."),
                              this);
    prompt->setWordWrap(true);
    prompt->setBuddy(name_);
    name_->setToolTip(tr("Type the name of task"));
    auto* group = new QGroupBox(tr("Perform this task"), this);
    auto* radios = new QVBoxLayout(group);
    const QString texts[] = {tr("&One time only"), tr("&Periodically"), tr("&Manually")};
    for (int i = 0; i < 3; ++i) {
        schedule_[i] = new QRadioButton(texts[i], group);
        radios->addWidget(schedule_[i]);
    }
    BindText(name_, task::kName, true);
    BindRadio({schedule_[0], schedule_[1], schedule_[2]}, task::kSchedule);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(prompt);
    layout->addWidget(name_);
    layout->addSpacing(8);
    layout->addWidget(group);
    layout->addStretch(1);
}

void CNamePage::Enter() {
    CPropertySet& task = *BoundSet();
    if (task.String(task::kName).empty())
        task.SetString(task::kName, NameFromUri(task.String(task::kUri)));
    CBoundPage::Enter();
}

bool CNamePage::CanAdvance() const {
    return !name_->text().trimmed().isEmpty();
}

}  // namespace tellweir
