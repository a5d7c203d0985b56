// The settings page's modified flag and Apply.
#include "shell/settings/settings_page.h"

namespace tellweir {

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
