// Temporary test folders.
#include "tests/support/temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

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
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::operator/(std::string_view name) const {
    return (std::filesystem::path(path_) / name).string();
}

std::string TempDir::WriteFile(std::string_view name, std::string_view text) const {
    const std::string path = *this / name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return path;
}

std::string TempDir::ReadFile(std::string_view name) const {
    std::ifstream in(*this / name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace tellweir::testing
