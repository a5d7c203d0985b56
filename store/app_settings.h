// The application settings: the process-wide settings property set, the table of persistent
// settings, and their load at start-up and save at exit (registry, "Settings.xml" export,
// autostart entry).
#pragma once

#include <functional>
#include <string>

#include "store/app_identity.h"
#include "store/registry_file.h"
#include "store/setting_table.h"

namespace tellweir {

// The settings of the process: a thread-safe sparse set, created on first use.
CPropertySet& AppSettings();
// The table of persistent settings, built on first use in its fixed order.
CSettingTable& AppSettingTable();

// Builds the table: the fixed entries, then the folder entries, the user agent and the list
// columns, whose defaults come from `identity`.
CSettingTable BuildSettingTable(CAppIdentity& identity);

// Where the settings live and what the save tells the rest of the desktop. Defaults: the process
// identity, the user's registry file, and no broadcast.
struct SettingsContext {
    CAppIdentity* identity = &CAppIdentity::Instance();
    CRegistryFile* registry = nullptr;  // null: CRegistryFile::User()
    // Called at the end of a save with (3, process id), so that other instances can notice.
    std::function<void(int, long)> broadcast;
};

// Fills the runtime-only ids, loads every persistent setting (defaults on first use) and
// applies the bounds.
void LoadSettings(const CSettingTable& table, CPropertySet& settings,
                  const SettingsContext& context = {});
// Writes the settings into the registry, exports "Settings.xml" into the data folder (skipped
// when the folder does not exist), broadcasts, and brings the autostart entry in line with
// "Misc/Run On Windows Startup".
void SaveSettings(const CSettingTable& table, const CPropertySet& settings,
                  const SettingsContext& context = {});

// The "Settings.xml" text of `settings`.
std::string FormatSettingsExport(const CSettingTable& table, const CPropertySet& settings);

// Applies the bounds of the settings that have them.
void ClampSettings(CPropertySet& settings);

// The XDG autostart entry: written with the executable and " -winstart" when `enabled`, removed
// otherwise. True when the file system is in the state asked for.
bool UpdateAutostartEntry(bool enabled, const std::string& executablePath);
std::string AutostartEntryPath();

}  // namespace tellweir
