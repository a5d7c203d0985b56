// Entry point of tellweir-desktop, the desktop program, started by tellweir when there is a
// display (or directly, e.g. by the autostart entry). Its only switches are the start switches
// ("-winstart", "/minimize", ...); anything else is for tellweir.
#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "app/options.h"
#include "shell/program/desktop_app.h"

int main(int argc, char** argv) {
    std::setlocale(LC_TIME, "");
    std::string error;
    const std::optional<tellweir::ProgramOptions> options =
        tellweir::ParseOptions(std::vector<std::string>(argv + 1, argv + argc), {}, error);
    if (!options || options->command != tellweir::ProgramOptions::Command::Desktop) {
        std::fprintf(stderr,
                     "tellweir-desktop: only -winstart, -minimize or -minimized; other "
                     "options are for tellweir\n");
        return 2;
    }
    return tellweir::RunDesktop(argc, argv, options->startHidden);
}
