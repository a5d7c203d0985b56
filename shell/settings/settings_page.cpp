// The settings page's number edit, its modified flag and Apply.
#include "shell/settings/settings_page.h"

#include <algorithm>
#include <climits>

namespace tellweir {

CBoundSpinBox::CBoundSpinBox(int spinMin, int spinMax, QWidget* parent)
    : QSpinBox(parent), spinMin_(spinMin), spinMax_(spinMax) {
    // The text may hold more than the arrows reach: the binding's check judges it.
    setRange(spinMin < 0 ? INT_MIN + 1 : 0, INT_MAX);
    setAccelerated(true);
}

void CBoundSpinBox::stepBy(int steps) {
    const long long next = static_cast<long long>(value()) + steps;
    setValue(static_cast<int>(std::clamp<long long>(next, spinMin_, spinMax_)));
    selectAll();
}

QAbstractSpinBox::StepEnabled CBoundSpinBox::stepEnabled() const {
    StepEnabled enabled = StepNone;
    if (value() < spinMax_) enabled |= StepUpEnabled;
    if (value() > spinMin_) enabled |= StepDownEnabled;
    return enabled;
}

CSettingsPage::CSettingsPage(QString title, QString helpAnchor, CPropertySet& values,
                             CPropertySet& target, QWidget* parent)
    : CBoundPage(title, &values, parent),
      values_(values),
      target_(target),
      title_(std::move(title)),
      helpAnchor_(std::move(helpAnchor)) {
    SetCopyTarget(&target);
    connect(this, &CBoundPage::changed, this, [this] { SetModified(true); });
}

bool CSettingsPage::Leave() {
    return CBoundPage::Leave() && Check();
}

bool CSettingsPage::Apply() {
    CopyBoundValues();
    return true;
}

void CSettingsPage::SetModified(bool modified) {
    modified_ = modified;
    if (modified) emit this->modified();
}

void CSettingsPage::Changed() {
    SetModified(true);
    Refresh();
}

}  // namespace tellweir
