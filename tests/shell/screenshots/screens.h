// The renderers of the screenshot program, one per part of the desktop shell: each saves its
// windows as PNG files into the output folder, with `suffix` ("" or "-dark") in their names.
#pragma once

#include <QString>
#include <QWidget>

#include "core/monitor_engine.h"

namespace tellweir {

class CMainFrame;

// Renders `widget` into "<folder>/<name>.png" and prints the path (or why it failed).
void SaveShot(QWidget& widget, const QString& folder, const QString& name);

void RenderSettingsScreens(const QString& outFolder, const QString& suffix, CMainFrame& frame,
                           CMonitorEngine& engine, const MonitorTaskPtr& task);
void RenderLogViewScreens(const QString& outFolder, const QString& suffix, CMainFrame& frame,
                          CMonitorEngine& engine, const MonitorTaskPtr& task);
void RenderChangesViewScreens(const QString& outFolder, const QString& suffix, CMainFrame& frame);
void RenderTaskDialogScreens(const QString& outFolder, const QString& suffix, CMainFrame& frame,
                             CMonitorEngine& engine, const MonitorTaskPtr& task);

}  // namespace tellweir
