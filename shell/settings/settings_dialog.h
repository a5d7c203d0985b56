// CSettingsDialog ("Settings"): a category tree on the left, the current page's title and the
// page on the right, "OK", "Cancel", "&Apply" and "Help (F&1)" below. The pages edit a working
// copy of the settings; Apply and OK copy the values of the modified pages into the settings
// and save them.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <vector>

#include "store/property_set.h"

class QDialogButtonBox;
class QPushButton;
class QStackedWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace tellweir {

class CPasswordStore;
class CSettingsHeader;
class CSettingsPage;

struct SettingsDialogContext {
    CPropertySet* settings = nullptr;     // null: the application settings
    CPasswordStore* passwords = nullptr;  // null: the password store of the process
    // Saves the settings; null: SaveSettings with the application's table.
    std::function<void(const CPropertySet&)> save;
};

class CSettingsDialog final : public QDialog {
    Q_OBJECT

  public:
    // Opens on the page at `initialPath` (backslash-separated), else on the first page.
    CSettingsDialog(const SettingsDialogContext& context, const QString& initialPath,
                    QWidget* parent = nullptr);
    ~CSettingsDialog() override;

    // The path of the page shown.
    const QString& CurrentPath() const { return currentPath_; }
    CSettingsPage* CurrentPage() const;
    // The page at `path` once it was shown; null before.
    CSettingsPage* Page(const QString& path) const;
    QTreeWidget* Tree() const { return tree_; }
    CSettingsHeader* Header() const { return header_; }
    QPushButton* ApplyButton() const { return apply_; }
    const CPropertySet& WorkingCopy() const { return values_; }

    // "&Apply": exchanges and applies every modified page, then saves when one was applied.
    // False when a page refused its values; that page is then shown.
    bool ApplyChanges();

  public slots:
    void accept() override;

  private:
    struct PageDef {
        QString path;
        QString title;
        std::function<CSettingsPage*()> create;
        CSettingsPage* page = nullptr;
        QTreeWidgetItem* item = nullptr;
    };

    void Register(const QString& path, const QString& title,
                  std::function<CSettingsPage*()> create);
    PageDef* Find(const QString& path);
    void SelectionChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    // Creates the page on first use, fills its controls and shows it.
    // Makes the page of `def` if it does not exist yet.
    void CreatePage(PageDef& def);
    void ShowPage(PageDef& def);
    // Shows a created page as it is.
    void Reveal(PageDef& def);
    // Puts the page's controls between the tree and the buttons in the Tab order.
    void OrderTabs(CSettingsPage* page);
    void ShowHelp();

    CPropertySet& settings_;
    CPasswordStore& passwords_;
    std::function<void(const CPropertySet&)> save_;
    CPropertySet values_;  // the working copy
    std::vector<PageDef> pages_;
    QTreeWidget* tree_;
    CSettingsHeader* header_;
    QStackedWidget* stack_;
    QDialogButtonBox* buttons_;
    QPushButton* ok_;
    QPushButton* apply_;
    QString currentPath_;
    bool reverting_ = false;
};

// Runs the dialog modally on the page shown last, then remembers the page shown last in
// "Layout/Last Settings Path" and saves the settings, after OK and Cancel alike.
int RunSettingsDialog(QWidget* parent, const SettingsDialogContext& context = {});

}  // namespace tellweir
