// CBoundPage: a page of a dialog whose controls are bound to properties of a property set. The
// bindings run in one direction at a time: into the controls when the page is shown, out of them
// when the user leaves the page, presses OK or changes a control.
#pragma once

#include <QList>
#include <QString>
#include <QWidget>
#include <vector>

#include "store/property_set.h"

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;

namespace tellweir {

enum BindKind : int {
    BIND_CHECK = 0,        // check box: 0, 1 (2 indeterminate)
    BIND_COMBO_INDEX = 1,  // drop-down list: index of the selected entry
    BIND_TEXT = 2,         // edit: the text
    BIND_INT = 3,          // edit or spin box: a decimal integer, checked when min < max
    BIND_RADIO = 4,        // radio group: index of the checked button
};

struct PageBinding {
    QWidget* control = nullptr;     // the first button for a radio group
    QList<QAbstractButton*> group;  // BIND_RADIO only, in dialog order
    PropertyId id = 0;
    BindKind kind = BIND_TEXT;
    bool trim = false;
    int minimum = 0;
    int maximum = 0;
};

class CBoundPage : public QWidget {
    Q_OBJECT

  public:
    CBoundPage(QString name, CPropertySet* set, QWidget* parent = nullptr);

    const QString& PageName() const { return name_; }
    CPropertySet* BoundSet() const { return set_; }
    // The set CopyBoundValues copies into (a dialog that applies its values elsewhere).
    void SetCopyTarget(CPropertySet* target) { copyTarget_ = target; }

    void BindCheck(QCheckBox* box, PropertyId id);
    void BindComboIndex(QComboBox* combo, PropertyId id);
    void BindText(QLineEdit* edit, PropertyId id, bool trim);
    void BindInt(QLineEdit* edit, PropertyId id, int minimum, int maximum);
    void BindInt(QSpinBox* spin, PropertyId id, int minimum, int maximum);
    void BindRadio(const QList<QAbstractButton*>& group, PropertyId id);

    // Runs every binding in order: into the controls, or out of them. Out of them fails at the
    // first integer out of range, which (unless `quiet`) says so and keeps the focus there.
    bool Exchange(bool fromControls, bool quiet = false);
    // Copies the bound ids from the edited set into the copy target.
    void CopyBoundValues() const;

    // The page becomes current: fills the controls and refreshes what depends on them.
    virtual void Enter();
    // The page is left (Next, Back, Finish, OK): false keeps the user on it.
    virtual bool Leave();
    // Whether the dialog's Next (or Finish, or OK) button may be pressed.
    virtual bool CanAdvance() const { return true; }

  signals:
    // A control changed: the dialog re-evaluates its buttons.
    void changed();

  protected:
    // A bound control changed: its values go to the set quietly, then Refresh and changed().
    void ControlChanged();
    // Updates what the page derives from its values (information texts, enabling).
    virtual void Refresh() {}
    bool Loading() const { return loading_; }

  private:
    void Add(QWidget* control, PropertyId id, BindKind kind, bool trim = false, int minimum = 0,
             int maximum = 0);
    bool ToSet(const PageBinding& binding, bool quiet);
    void ToControl(const PageBinding& binding);

    QString name_;
    CPropertySet* set_;
    CPropertySet* copyTarget_ = nullptr;
    std::vector<PageBinding> bindings_;
    bool loading_ = false;
};

// The text of a range message, "Please enter an integer between %1 and %2.".
QString IntegerRangeMessage(int minimum, int maximum);

}  // namespace tellweir
