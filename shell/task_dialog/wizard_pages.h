// The simple pages of the new-task wizard: the introduction and the task's name with the kind
// of schedule.
#pragma once

#include "shell/widgets/bound_page.h"

class QLineEdit;
class QRadioButton;

namespace tellweir {

class CIntroPage final : public CBoundPage {
    Q_OBJECT

  public:
    explicit CIntroPage(QWidget* parent = nullptr);
};

class CNamePage final : public CBoundPage {
    Q_OBJECT

  public:
    CNamePage(CPropertySet* task, QWidget* parent = nullptr);

    // An empty name becomes the file name of the URI (the whole URI when it ends in a slash).
    void Enter() override;
    bool CanAdvance() const override;

    QLineEdit* NameEdit() const { return name_; }
    // One time only, periodically, manually.
    QRadioButton* ScheduleButton(int schedule) const { return schedule_[schedule]; }

  private:
    QLineEdit* name_;
    QRadioButton* schedule_[3];
};

}  // namespace tellweir
