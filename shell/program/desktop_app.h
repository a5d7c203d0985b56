// The desktop program: start-up in its fixed order, the single-instance hand-over, the event
// loop, and the exit sequence that saves everything before the process ends.
#pragma once

namespace tellweir {

// Runs the desktop program; `hidden` starts it with the tray icon alone. The exit status.
int RunDesktop(int argc, char** argv, bool hidden);

}  // namespace tellweir
