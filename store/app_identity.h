// CAppIdentity: the company, product and version strings every data file location is derived
// from, with the per-user data folder, the registry key path and the registry file built on them.
#pragma once

#include <array>
#include <mutex>
#include <string>
#include <string_view>

namespace tellweir {

class CAppIdentity {
  public:
    enum Slot : int {
        kCompany = 0,
        kProduct = 1,
        kVersion = 2,
        kSpare1 = 3,
        kSpare2 = 4,
        kDataFolder = 5,    // computed on demand
        kRegistryPath = 6,  // computed on demand
        kHomePageLink = 7,
        kSupportLink = 8,
        kOrderLink = 9,
        kOrderLink2 = 10,
    };
    static constexpr int kSlotCount = 11;

    CAppIdentity();

    // The identity of the process, created on first use.
    static CAppIdentity& Instance();

    // Stores a slot; setting the company or product forgets the computed data folder and
    // registry path. An index outside 0..10 is ignored.
    void SetIdentity(int index, std::string_view text);
    // A slot's value; the data folder and registry path are computed when empty. False for an
    // index outside 0..10 or a value that cannot be computed.
    bool GetIdentity(int index, std::string& out);

    // The data folder, then "/<version>" when versioned, then "/<subPath>" without its leading
    // and trailing separators. False without a data folder.
    bool GetDataFilePath(std::string_view subPath, bool versioned, std::string& out);
    // The same composition below the registry key path "Software\<company>\<product>".
    bool GetRegistryPath(std::string_view subPath, bool versioned, std::string& out);
    // The file that holds the per-user registry: $XDG_CONFIG_HOME/<company>/<product>/registry.reg.
    bool GetRegistryFilePath(std::string& out);

    // "<prefix><product> <version> - <company><suffix>", or without " <version>".
    std::string FormatProductTitle(std::string_view prefix, std::string_view suffix,
                                   bool withVersion);

  private:
    bool ComputeLocked(int index);
    bool ComposeLocked(int rootSlot, char separator, std::string_view subPath, bool versioned,
                       std::string& out);

    std::mutex lock_;
    std::array<std::string, kSlotCount> slots_;
};

// The user's base folders: $XDG_DATA_HOME or ~/.local/share, and $XDG_CONFIG_HOME or ~/.config.
// Empty when neither the variable nor a home folder is known.
std::string UserDataHome();
std::string UserConfigHome();

}  // namespace tellweir
