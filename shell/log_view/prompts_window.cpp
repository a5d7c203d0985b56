// The prompts window and the entries of a prompt.
#include "shell/log_view/prompts_window.h"

#include "base/date_time.h"
#include "shell/log_view/log_window.h"

namespace tellweir {

void WritePromptEntries(ILog& log, const QString& taskName, const QString& text) {
    if (taskName.isEmpty() && text.isEmpty()) return;
    // The local time as the engine's own lines give it, in the user's locale.
    const QString when = QString::fromStdString(DateTime::Now().Format("%x %X"));
    const QString status =
        taskName.isEmpty() ? CLogWindow::tr("Prompt action: [%1] < name not specified>.").arg(when)
                           : CLogWindow::tr("Prompt action: [%1] \"%2\".").arg(when, taskName);
    log.Write(0, status.toStdString());
    log.Write(kLevelDetail, text.toStdString());
}

CLogWindow* MakePromptsWindow(ILogObserver* observer) {
    return new CLogWindow(observer, CLogWindow::tr("Monitor prompt events"));
}

void ShowPrompt(CLogWindow*& window, ILogObserver* observer, const ItemLogPtr& engineLog,
                const QString& taskName, const QString& text) {
    if (!engineLog) return;
    WritePromptEntries(*engineLog, taskName, text);
    if (!window) window = MakePromptsWindow(observer);
    window->ShowLog(engineLog);
}

}  // namespace tellweir
