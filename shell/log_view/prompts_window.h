// The prompts window: a log window titled "Monitor prompt events" over the engine log. Every
// prompt (the "Prompt" action, the cache cleanup results) is written into the engine log as a
// status entry with the time and the task's name and a details entry with the text, and the
// window is brought up on it.
#pragma once

#include <QString>

#include "log/item_log.h"

namespace tellweir {

class CLogWindow;

// The two entries of a prompt; nothing when both the name and the text are empty.
void WritePromptEntries(ILog& log, const QString& taskName, const QString& text);

// The prompts window, hidden, for a caller that places it before it first shows.
CLogWindow* MakePromptsWindow(ILogObserver* observer);

// Writes the prompt into `engineLog` and shows the prompts window on it, creating `window` on
// first use. Nothing at all without an engine log.
void ShowPrompt(CLogWindow*& window, ILogObserver* observer, const ItemLogPtr& engineLog,
                const QString& taskName, const QString& text);

}  // namespace tellweir
