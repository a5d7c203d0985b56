// TempDir: a fresh folder under the system's temporary folder for one test's files (server
// configurations, certificates, logs, files under test), removed with everything in it, read-only
// entries included.
#pragma once

#include <string>
#include <string_view>

namespace tellweir::testing {

class TempDir {
  public:
    // Makes "<tmp>/tw-<prefix>-XXXXXX".
    explicit TempDir(std::string_view prefix = "test");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }
    // The path of `name` inside the folder.
    std::string operator/(std::string_view name) const;
    // Writes `text` to `name` inside the folder (replacing it) and gives its path.
    std::string WriteFile(std::string_view name, std::string_view text) const;
    // The whole content of `name` inside the folder; empty when it cannot be read.
    std::string ReadFile(std::string_view name) const;

  private:
    std::string path_;
};

}  // namespace tellweir::testing
