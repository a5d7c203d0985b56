// CSettingsPage: one page of the settings dialog, a bound page over the dialog's working copy
// whose values Apply copies into the application settings, with a title for the tree and the
// header, a help topic and a modified flag.
#pragma once

#include <QString>

#include "shell/widgets/bound_page.h"
#include "shell/widgets/bound_spin_box.h"

namespace tellweir {

class CSettingsPage : public CBoundPage {
    Q_OBJECT

  public:
    // `values` is the dialog's working copy, `target` the application settings.
    CSettingsPage(QString title, QString helpAnchor, CPropertySet& values, CPropertySet& target,
                  QWidget* parent = nullptr);

    const QString& Title() const { return title_; }
    const QString& HelpAnchor() const { return helpAnchor_; }

    // The bindings out of the controls, then the page's own check.
    bool Leave() override;
    // Copies the bound values (and the page's own extra state) into the application settings.
    virtual bool Apply();

    bool IsModified() const { return modified_; }
    void SetModified(bool modified);

  signals:
    void modified();

  protected:
    // Runs after the values left the controls; false keeps the user on the page.
    virtual bool Check() { return true; }
    // A change outside the bindings: marks the page modified and refreshes it.
    void Changed();

    CPropertySet& values_;
    CPropertySet& target_;

  private:
    QString title_;
    QString helpAnchor_;
    bool modified_ = false;
};

}  // namespace tellweir
