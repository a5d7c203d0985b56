// Whole-file reads and writes for tests: the content a step wrote, or the input it is to read.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

namespace tellweir::testing {

// The whole content of the file, byte for byte; empty when it cannot be read.
inline std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Replaces the file's content with `text` (the folder must exist).
inline void WriteAll(const std::filesystem::path& path, std::string_view text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

}  // namespace tellweir::testing
