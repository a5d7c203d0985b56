// Entry point of tellweir. The monitoring engine and the desktop shell are still being built;
// until they arrive the program reports which of its parts are in place.
#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kVersion = "1.1";

void PrintUsage() {
    std::printf(
        "Usage: tellweir [--help] [--version]\n"
        "Watches web resources (http, https, ftp) and local files for change.\n");
}

void PrintStatus() {
    std::printf(
        "Tellweir %s\n"
        "In place so far:\n"
        "  - property sets, item logs, transfer result codes and status messages\n"
        "  - the XML document, settings (registry file, Settings.xml export, autostart entry)\n"
        "  - the URL model, proxy selection, local file access, gzip unpacking, the info cache\n"
        "  - password store (Blowfish), cookie store, MD4/MD5 one-time passwords\n"
        "  - work scheduler, worker pool, prompt broker, message pulser\n"
        "  - sockets with HTTP, HTTPS, SOCKS4 and SOCKS5 proxies, and TLS\n"
        "Not yet: the transfer manager, monitor tasks and engine, HTTP and FTP clients, the\n"
        "desktop shell.\n",
        kVersion);
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            PrintUsage();
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("tellweir %s\n", kVersion);
            return 0;
        }
        std::fprintf(stderr, "tellweir: unknown option '%s'\nTry 'tellweir --help'.\n", argv[i]);
        return 2;
    }
    PrintStatus();
    return 0;
}
