// Starting the desktop program from the command-line program: the windows live in a program of
// their own ("tellweir-desktop" beside this one), so that the commands and the program without
// windows never load the GUI libraries.
#pragma once

#include <string>

namespace tellweir {

// True when a display is there to open windows on ($DISPLAY or $WAYLAND_DISPLAY), or the
// windowing platform is chosen explicitly ($QT_QPA_PLATFORM).
bool DisplayAvailable();

// Replaces this process by the desktop program with the same arguments. Returns only when that
// fails, with the reason in `error`.
void ExecDesktop(char** argv, std::string& error);

}  // namespace tellweir
