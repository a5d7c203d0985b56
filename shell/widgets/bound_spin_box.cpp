// The number edit of bound pages.
#include "shell/widgets/bound_spin_box.h"

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

}  // namespace tellweir
