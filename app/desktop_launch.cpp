// Handing over to the desktop program.
#include "app/desktop_launch.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

namespace tellweir {

bool DisplayAvailable() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return true;
    }
    return false;
}

void ExecDesktop(char** argv, std::string& error) {
    std::error_code failed;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", failed);
    if (failed) {
        error = "cannot find the program's own folder: " + failed.message();
        return;
    }
    const std::string desktop = (self.parent_path() / "tellweir-desktop").string();
    std::vector<char*> args{const_cast<char*>(desktop.c_str())};
    for (char** arg = argv + 1; *arg != nullptr; ++arg)
        args.push_back(*arg);
    args.push_back(nullptr);
    ::execv(desktop.c_str(), args.data());
    error = "cannot start \"" + desktop + "\": " + std::strerror(errno);
}

}  // namespace tellweir
