// Where the HTML manual "Tellweir.html" is looked for: beside the program, in the program's
// "Help" folder, then in the documentation folder that the installation puts it into.
#pragma once

#include <string>

namespace tellweir {

// The documentation folder chosen when the program was configured (where `cmake --install`
// puts the manual); empty when the build named none.
std::string InstalledDocFolder();

// The full path of the first "Tellweir.html" found in the folder of `executablePath`, its
// "Help" subfolder, then `docFolder`; empty when none exists. An empty `executablePath` or
// `docFolder` skips the places derived from it.
std::string FindHelpFile(const std::string& executablePath,
                         const std::string& docFolder = InstalledDocFolder());

}  // namespace tellweir
