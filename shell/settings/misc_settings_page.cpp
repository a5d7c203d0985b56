// The Misc page: log length, the download size limit, the versions each task keeps and starting
// with the desktop session.
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "shell/settings/settings_pages.h"
#include "store/setting_ids.h"

namespace tellweir {

CMiscSettingsPage::CMiscSettingsPage(CPropertySet& values, CPropertySet& target, QWidget* parent)
    : CSettingsPage(QStringLiteral("Misc"), QStringLiteral("settings-misc"), values, target,
                    parent) {
    auto* grid = new QGridLayout;
    // The arrows stop where the log length ever mattered; the edit takes any count.
    auto* maxLines = new CBoundSpinBox(0, 16960, this);
    auto* maxLinesLabel = new QLabel(tr("&Maximum lines in the log:"), this);
    maxLinesLabel->setBuddy(maxLines);
    grid->addWidget(maxLinesLabel, 0, 0);
    grid->addWidget(maxLines, 0, 1);
    auto* maxSize = new CBoundSpinBox(0, 1048576, this);
    auto* maxSizeLabel = new QLabel(tr("Max Download &Size:"), this);
    maxSizeLabel->setBuddy(maxSize);
    grid->addWidget(maxSizeLabel, 1, 0);
    grid->addWidget(maxSize, 1, 1);
    grid->addWidget(new QLabel(tr("MiB (0: no limit)"), this), 1, 2);
    auto* versionsKept = new CBoundSpinBox(0, 1000, this);
    auto* versionsKeptLabel = new QLabel(tr("&Versions kept:"), this);
    versionsKeptLabel->setBuddy(versionsKept);
    versionsKept->setToolTip(tr("How many versions of its resource each task keeps to compare"));
    grid->addWidget(versionsKeptLabel, 2, 0);
    grid->addWidget(versionsKept, 2, 1);
    grid->addWidget(new QLabel(tr("(0: keep none)"), this), 2, 2);
    auto* versionsSize = new CBoundSpinBox(1, 1048576, this);
    auto* versionsSizeLabel = new QLabel(tr("Versions ma&x size (MiB):"), this);
    versionsSizeLabel->setBuddy(versionsSize);
    versionsSize->setToolTip(tr("How much disk space the versions of one task may take"));
    grid->addWidget(versionsSizeLabel, 3, 0);
    grid->addWidget(versionsSize, 3, 1);
    grid->setColumnStretch(3, 1);

    auto* startup = new QCheckBox(tr("&Run Tellweir when I log in"), this);
    startup->setToolTip(tr("Starts Tellweir in the tray when you log in"));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(startup);
    layout->addStretch(1);

    BindInt(maxLines, setting::kMaxLogLines, 0, 0);
    BindInt(maxSize, setting::kMaxDownloadSize, 0, 1048576);
    BindInt(versionsKept, setting::kVersionsKept, 0, 1000);
    BindInt(versionsSize, setting::kVersionsMaxSize, 1, 1048576);
    BindCheck(startup, setting::kRunOnStartup);
}

}  // namespace tellweir
