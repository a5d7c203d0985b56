// Renders the log window over a task log with lines of every colour, and the
// prompts window over the engine log with a few prompts, to PNG files.
#include <QApplication>
#include <cstdio>

#include "shell/log_view/color_edit_view.h"
#include "shell/log_view/log_window.h"
#include "shell/log_view/prompts_window.h"
#include "shell/main_window/main_frame.h"
#include "shell/main_window/task_list_view.h"
#include "tests/shell/screenshots/screens.h"

namespace tellweir {

namespace {

// Lines of every class, written once per log.
void WriteSampleLog(CItemLog& log) {
    if (log.GetText().find("Connecting to") != std::string::npos) return;
    log.Write(0, "Transfer started: http://www.example.com/news.html (GET FILE INFO).");
    log.Write(0, "Connecting to www.example.com:80...");
    log.Write(0, "Connected to www.example.com:80.");
    log.Write(kLevelSent,
              "HEAD /news.html HTTP/1.1\r\nHost: www.example.com\r\nUser-Agent: Tellweir");
    log.Write(kLevelReceived, "HTTP/1.1 200 OK\r\nContent-Length: 18342\r\nETag: \"5e1-3f7a\"");
    log.Write(kLevelDetail, "HandleEvent: Size Changed.");
    log.Write(1, "Cannot open file \"/tmp/sample/news.html\" [errno 13].");
    log.Write(kLevelRaw, "C:\tcompared with the INFO file [18342 Bytes]\r\n");
    log.Write(0, "Next start time: [12/11/26 10:15 AM].");
}

}  // namespace

void RenderLogViewScreens(const QString& outFolder, const QString& suffix, CMainFrame& frame,
                          CMonitorEngine& engine, const MonitorTaskPtr& task) {
    if (ItemLogPtr log = task->GetLog()) WriteSampleLog(*log);
    frame.List()->SelectTask(task.get());
    frame.Execute(CommandId::ViewLog);
    if (CLogWindow* window = frame.LogWindow()) {
        window->resize(780, 480);
        SaveShot(*window, outFolder, "log-window" + suffix);
        window->close();
    }

    // The program opens the engine log at start-up; a renderer's engine may not have.
    if (!engine.GetEngineLog()) engine.AnnounceStart();
    if (ItemLogPtr engineLog = engine.GetEngineLog()) {
        if (engineLog->GetText().find("Cache cleanup") == std::string::npos) {
            WritePromptEntries(*engineLog, QStringLiteral("Daily report"),
                               QStringLiteral("Monitored resource was changed."));
            WritePromptEntries(*engineLog, QString(),
                               QStringLiteral("A prompt with no task name."));
            WritePromptEntries(*engineLog, QStringLiteral("Cache cleanup"),
                               QStringLiteral("Cache cleanup results: Skipped: 2 Skipped size: "
                                              "4.10 KB (4,198 Bytes) Deleted: 7 Deleted size: "
                                              "1.25 MB (1,310,720 Bytes)"));
        }
        frame.Execute(CommandId::DisplayPrompts);
        if (CLogWindow* prompts = frame.PromptsWindow()) {
            prompts->resize(780, 240);
            SaveShot(*prompts, outFolder, "prompts-window" + suffix);
            prompts->close();
        }
    }
}

}  // namespace tellweir
