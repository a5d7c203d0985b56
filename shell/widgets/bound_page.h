// CBoundPage: a page of a dialog whose controls are bound to properties of a property set. The
// bindings run in one direction at a time: into the controls when the page is shown, out of them
// when the user leaves the page, presses OK or changes a control.
#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

#include "store/property_set.h"

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;

namespace tellweir {

class CBoundPage : public QWidget {
    Q_OBJECT

  public:
    CBoundPage(QString name, CPropertySet* set, QWidget* parent = nullptr);

    const QString& PageName() const { return name_; }
    CPropertySet* BoundSet() const { return set_; }
    // The set CopyBoundValues copies into (a dialog that applies its values elsewhere).
    void SetCopyTarget(CPropertySet* target) { copyTarget_ = target; }

    // A check box: 0, 1 (2 indeterminate; any other value shows unchecked).
    void BindCheck(QCheckBox* box, PropertyId id);
    // A drop-down list: the index of the selected entry.
    void BindComboIndex(QComboBox* combo, PropertyId id);
    // An edit's text, trimmed of spaces at both ends when `trim`.
    void BindText(QLineEdit* edit, PropertyId id, bool trim);
    // A decimal integer, checked against minimum..maximum when minimum < maximum.
    void BindInt(QLineEdit* edit, PropertyId id, int minimum, int maximum);
    void BindInt(QSpinBox* spin, PropertyId id, int minimum, int maximum);
    // A radio group: the index of the checked button, buttons in dialog order.
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

  private:
    // One bound property: how its controls show the value and how they give it back.
    struct Binding {
        PropertyId id = 0;
        bool isText = false;       // copied as a string by CopyBoundValues, else as an int
        QList<QObject*> controls;  // silenced while the value is filled in
        std::function<void(const CPropertySet&)> load;
        std::function<bool(CPropertySet&, bool quiet)> store;  // false: the value was refused
    };

    // Reads an integer typed into `control`; an unreadable or out-of-range one is refused.
    bool StoreInt(CPropertySet& set, PropertyId id, const QString& text, QWidget* control,
                  int minimum, int maximum, bool quiet);

    QString name_;
    CPropertySet* set_;
    CPropertySet* copyTarget_ = nullptr;
    std::vector<Binding> bindings_;
};

// The text of a range message, "Please enter an integer between %1 and %2.".
QString IntegerRangeMessage(int minimum, int maximum);

}  // namespace tellweir
