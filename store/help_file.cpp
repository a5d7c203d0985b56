// Looking for the HTML manual.
#include "store/help_file.h"

#include <filesystem>
#include <vector>

namespace tellweir {

namespace fs = std::filesystem;

std::string InstalledDocFolder() {
#ifdef TELLWEIR_DOC_DIR
    return TELLWEIR_DOC_DIR;
#else
    return {};
#endif
}

std::string FindHelpFile(const std::string& executablePath, const std::string& docFolder) {
    constexpr const char* kName = "Tellweir.html";
    std::vector<fs::path> candidates;
    if (!executablePath.empty()) {
        const fs::path folder = fs::path(executablePath).parent_path();
        candidates.push_back(folder / kName);
        candidates.push_back(folder / "Help" / kName);
    }
    // Last, so that a manual beside a build or an unpacked copy wins over an installed one.
    if (!docFolder.empty()) candidates.push_back(fs::path(docFolder) / kName);
    std::error_code ec;
    for (const fs::path& candidate : candidates) {
        if (fs::is_regular_file(candidate, ec)) return candidate.string();
    }
    return {};
}

}  // namespace tellweir
