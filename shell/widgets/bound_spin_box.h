// CBoundSpinBox: the number edit of bound pages. Its text takes any integer, so a value out of
// the binding's range reaches the page's check and its message instead of being corrected
// silently; the arrows stay within their own range.
#pragma once

#include <QSpinBox>

namespace tellweir {

class CBoundSpinBox final : public QSpinBox {
    Q_OBJECT

  public:
    // The arrows go from `spinMin` to `spinMax`; the text may hold any integer (not below 0 when
    // `spinMin` is not).
    CBoundSpinBox(int spinMin, int spinMax, QWidget* parent = nullptr);
    void stepBy(int steps) override;

  protected:
    StepEnabled stepEnabled() const override;

  private:
    int spinMin_;
    int spinMax_;
};

}  // namespace tellweir
