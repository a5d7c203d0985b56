// Temporary test folders.
#include "tests/support/temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "tests/support/file_text.h"

namespace tellweir::testing {

TempDir::TempDir(std::string_view prefix) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / ("tw-" + std::string(prefix) + "-XXXXXX"))
            .string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) != nullptr) path_ = buffer.data();
}

TempDir::~TempDir() {
    if (path_.empty()) return;
    // Read-only entries must not stop the clean-up.
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

std::string TempDir::operator/(std::string_view name) const {
    return (std::filesystem::path(path_) / name).string();
}

std::string TempDir::WriteFile(std::string_view name, std::string_view text) const {
    std::string path = *this / name;
    WriteAll(path, text);
    return path;
}

std::string TempDir::ReadFile(std::string_view name) const {
    return ReadAll(*this / name);
}

}  // namespace tellweir::testing
