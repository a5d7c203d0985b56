// Renders the View Changes window over three versions of a price list: the changes with their
// context in the unified layout, and the whole text side by side.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QEventLoop>
#include <QTimer>
#include <chrono>

#include "core/task_properties.h"
#include "history/version_store.h"
#include "shell/changes_view/changes_window.h"
#include "shell/main_window/main_frame.h"
#include "tests/shell/screenshots/screens.h"

namespace tellweir {

namespace {

std::string PriceList(int version) {
    std::string text = "Price list\nUpdated every morning at 6:00.\n\n";
    const char* items[] = {"Apples",       "Bananas", "Cherries", "Dates",
                           "Elderberries", "Figs",    "Grapes",   "Honeydew",
                           "Kiwis",        "Lemons",  "Mangoes",  "Nectarines"};
    int i = 0;
    for (const char* item : items) {
        int cents = 120 + 35 * i;
        if (version >= 2 && i == 2) cents += 40;
        if (version >= 3 && i == 9) cents -= 15;
        text += std::string(item) + "\t" + std::to_string(cents / 100) + "." +
                (cents % 100 < 10 ? "0" : "") + std::to_string(cents % 100) + " EUR per kg\n";
        ++i;
    }
    if (version >= 3) text += "Oranges\t1.95 EUR per kg (new)\n";
    text += "\nPrices include VAT.\n";
    return text;
}

}  // namespace

void RenderChangesViewScreens(const QString& outFolder, const QString& suffix, CMainFrame& frame) {
    const QString folder = outFolder + QStringLiteral("/files/changes");
    QDir().mkpath(folder);
    MonitorTaskPtr task = CMonitorTask::Create();
    task->SetName("Price list");
    task->SetString(task::kUri, "http://shop.example.com/prices.html");
    task->SetString(task::kSamplePath, (folder + QStringLiteral("/prices.sample")).toStdString());
    CVersionStore store(task->GetVersionFolder());
    if (store.NewestNumber() == 0)
        for (int version = 1; version <= 3; ++version) {
            VersionRecord record;
            record.time = DateTime::Now();
            record.run = version;
            record.event = version == 1 ? "First Time" : "Content Changed";
            record.name = "prices.txt";
            // What the run that kept it counted against the version before.
            record.added = version == 1 ? -1 : version - 1;
            record.removed = version == 1 ? -1 : 1;
            (void)store.Add(record, PriceList(version), VersionLimits{});
        }
    task->SetInt(task::kNewestVersion, store.NewestNumber());
    task->SetInt(task::kViewedVersion, 1);

    CChangesWindow window(task, false, &frame);
    window.setWindowFlag(Qt::Window);
    window.resize(940, 560);
    window.show();
    // The comparison runs on the window's worker: wait for its result (bounded).
    QEventLoop loop;
    QObject::connect(&window, &CChangesWindow::loaded, &loop, [&] {
        if (!window.Busy()) loop.quit();
    });
    QTimer::singleShot(std::chrono::seconds(10), &loop, &QEventLoop::quit);
    if (window.Busy()) loop.exec();
    QApplication::processEvents();
    SaveShot(window, outFolder, "changes-window" + suffix);
    window.WholeTextBox()->setChecked(true);
    window.SideBySideBox()->setChecked(true);
    QApplication::processEvents();
    SaveShot(window, outFolder, "changes-window-side-by-side" + suffix);
}

}  // namespace tellweir
