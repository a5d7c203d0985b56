// The program's services in their start-up and exit order: identity and data folders, the task
// property table, the network layer, the password and cookie stores, the URL history, the
// settings and the transfer manager.
#pragma once

#include <string>

#include "port/desktop_port.h"

namespace tellweir {

// Sets the identity strings of the program (company, product, version, links).
void SetProgramIdentity();

// Starts every service after the single-instance test. Stores whose files are missing start
// empty; false only when the network layer cannot start. Services started not `persistent`
// write none of their files back (another copy of the program may own them). The transfer
// manager tells `desktop` (null: nobody) of its transfers; it must outlive StopServices.
bool StartServices(IDesktopPort* desktop, bool persistent = true);
// Stops the transfer manager (saving the info cache), then saves the stores and the settings.
void StopServices();

// A file in the per-user data folder; empty when there is no data folder.
std::string DataFilePath(std::string_view name);

}  // namespace tellweir
