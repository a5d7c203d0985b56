// The settings table, loading with bounds, and saving with the export and the autostart entry.
#include "store/app_settings.h"

#include <unistd.h>

#include <filesystem>
#include <utility>

#include "base/text_format.h"
#include "store/atomic_file.h"
#include "store/byte_stream.h"
#include "store/help_file.h"
#include "store/private_folder.h"
#include "store/registry_key.h"
#include "store/setting_ids.h"
#include "store/state_file.h"
#include "store/xml_node.h"
#include "store/xml_parser.h"

namespace tellweir {
namespace {

namespace fs = std::filesystem;
using V = PropertyValue;

struct FixedEntry {
    const char* key;
    PropertyId id;
    int intDefault;
    const char* textDefault;  // null for int entries
};

// The persistent settings in table order, up to the entries whose defaults depend on the data
// folder. "HTTP/User-Agent" is replaced by "HTTP/User Agent" when the table is completed.
constexpr FixedEntry kFixedEntries[] = {
    {"Misc/Default Tab Size", setting::kDefaultTabSize, 4, nullptr},
    {"Misc/Show Line Numbers", setting::kShowLineNumbers, 1, nullptr},
    {"Misc/Last Opened Folder", setting::kLastOpenedFolder, 0, ""},
    {"Misc/Log Levels", setting::kLogLevels, 0, nullptr},
    {"Misc/Max Log Lines", setting::kMaxLogLines, 2000, nullptr},
    {"Misc/Enable Generic URLs", setting::kEnableGenericUrls, 1, nullptr},
    {"Misc/Run On Windows Startup", setting::kRunOnStartup, 0, nullptr},
    {"Misc/First Launch", setting::kFirstLaunch, 0, nullptr},
    {"Misc/Max History Size", setting::kMaxHistorySize, 50, nullptr},
    {"Misc/Max MRU Size", setting::kMaxMruSize, 10, nullptr},
    {"Misc/Max Download Size", setting::kMaxDownloadSize, 4096, nullptr},
    {"Misc/Versions Kept", setting::kVersionsKept, 10, nullptr},
    {"Misc/Versions Max Size", setting::kVersionsMaxSize, 50, nullptr},
    {"HTTP/Version", setting::kHttpVersion, 1, nullptr},
    {"HTTP/Enable Connection", setting::kHttpEnableConnection, 1, nullptr},
    {"HTTP/Connection", setting::kHttpConnection, 0, nullptr},
    {"HTTP/Enable User-Agent", setting::kHttpEnableUserAgent, 0, nullptr},
    {"HTTP/User-Agent", setting::kHttpUserAgent, 0, ""},
    {"HTTP/Enable Referrer", setting::kHttpEnableReferrer, 0, nullptr},
    {"HTTP/Enable Cookies", setting::kHttpEnableCookies, 1, nullptr},
    {"HTTP/Enable Accept", setting::kHttpEnableAccept, 1, nullptr},
    {"HTTP/Enable Pragma No Cache", setting::kHttpPragmaNoCache, 0, nullptr},
    {"FTP/Data Connection Type", setting::kFtpDataConnectionType, 1, nullptr},
    {"Proxy/All", setting::kProxyAll, 0, ""},
    {"Proxy/HTTP", setting::kProxyHttp, 0, ""},
    {"Proxy/HTTP enabled", setting::kProxyHttpEnabled, 0, nullptr},
    {"Proxy/HTTPS", setting::kProxyHttps, 0, ""},
    {"Proxy/HTTPS enabled", setting::kProxyHttpsEnabled, 0, nullptr},
    {"Proxy/FTP", setting::kProxyFtp, 0, ""},
    {"Proxy/FTP enabled", setting::kProxyFtpEnabled, 0, nullptr},
    {"Proxy/Skip List enabled", setting::kProxySkipListEnabled, 0, nullptr},
    {"Proxy/Skip List", setting::kProxySkipList, 0, ""},
    {"Proxy/Skip Local enabled", setting::kProxySkipLocalEnabled, 1, nullptr},
    {"Connections/Max Connects", setting::kMaxConnects, 10, nullptr},
    {"Connections/Max Connects Per Site", setting::kMaxConnectsPerSite, 10, nullptr},
    {"Connections/Timeout Finished", setting::kTimeoutFinished, 1000, nullptr},
    {"Connections/Session Idle Time", setting::kSessionIdleTime, 60000, nullptr},
    {"Connections/Connection Delay", setting::kConnectionDelay, 10, nullptr},
    {"Connections/Connection Retries", setting::kConnectionRetries, 5, nullptr},
    {"Connections/Transfer Retries", setting::kTransferRetries, 10, nullptr},
    {"Connections/Connection Timeout", setting::kConnectionTimeout, 120, nullptr},
    {"Connections/Anonymous Password", setting::kAnonymousPassword, 0, "visit@"},
    {"Connections/SSL-TLS Version", setting::kSslTlsVersion, 1, nullptr},
    {"Connections/Accept Untrusted Certificates", setting::kAcceptUntrustedCertificates, 0,
     nullptr},
    {"Connections/Transfer Time Limit", setting::kTransferTimeLimit, 3600, nullptr},
    {"Layout/Main Frame", setting::kMainFrameLayout, 0, ""},
    {"Layout/Child Frame", setting::kChildFrameLayout, 0, ""},
    {"Layout/Program Start Event", setting::kProgramStartEvent, 0, nullptr},
    {"Layout/Program Exit Event", setting::kProgramExitEvent, 0, nullptr},
    {"Layout/Last Settings Path", setting::kLastSettingsPath, 0, ""},
    {"Transfer Manager/Max Threads", setting::kMaxThreads, 10, nullptr},
    {"Transfer Manager/Timeout Threading", setting::kTimeoutThreading, 10000, nullptr},
};

struct Bound {
    PropertyId id;
    std::int32_t min;
    std::int32_t max;
};

// In the order they are applied.
constexpr Bound kBounds[] = {
    {setting::kMaxConnects, 1, 200},
    {setting::kMaxConnectsPerSite, 1, 200},
    {setting::kConnectionRetries, 0, 1000},
    {setting::kTransferRetries, 0, 1000},
    {setting::kConnectionDelay, 0, 3600},
    {setting::kConnectionTimeout, 10, 3600},
    {setting::kSslTlsVersion, 0, 3},
    {setting::kMaxHistorySize, 0, 1000},
    {setting::kMaxMruSize, 0, 20},
    {setting::kAcceptUntrustedCertificates, 0, 1},
    {setting::kTransferTimeLimit, 0, 604800},
    {setting::kMaxDownloadSize, 0, 1048576},
    {setting::kVersionsKept, 0, 1000},
    {setting::kVersionsMaxSize, 1, 1048576},
};

std::string DataPath(CAppIdentity& identity, std::string_view sub, bool versioned = false) {
    std::string path;
    identity.GetDataFilePath(sub, versioned, path);
    return path;
}

std::string Slot(CAppIdentity& identity, int index) {
    std::string value;
    identity.GetIdentity(index, value);
    return value;
}

std::string ExecutablePath() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.string();
}

void FillRuntimeSettings(CAppIdentity& identity, CPropertySet& settings) {
    settings.SetString(setting::kHomePageLink, Slot(identity, CAppIdentity::kHomePageLink));
    settings.SetString(setting::kSupportLink, Slot(identity, CAppIdentity::kSupportLink));
    settings.SetString(setting::kOrderLink, Slot(identity, CAppIdentity::kOrderLink));
    settings.SetString(setting::kOrderLink2, Slot(identity, CAppIdentity::kOrderLink2));
    const std::string exe = ExecutablePath();
    settings.SetString(setting::kHelpFilePath, FindHelpFile(exe));
    settings.SetString(setting::kExecutablePath, exe);
    settings.SetString(setting::kExecutableName, fs::path(exe).filename().string());
}

std::string SettingsKeyPath(CAppIdentity& identity) {
    std::string path;
    return identity.GetRegistryPath("Settings", false, path) ? path : std::string();
}

// Far beyond any real export.
constexpr std::size_t kMaxSettingsExportBytes = 16u << 20;

std::string SettingsExportPath(CAppIdentity& identity) {
    std::string folder;
    return identity.GetIdentity(CAppIdentity::kDataFolder, folder) ? folder + "/Settings.xml"
                                                                   : std::string();
}

// "Settings.xml" is only ever written; a file in its place that cannot be read, or does not read
// as an export, may be the user's own and is kept.
void CheckSettingsExport(const std::string& path) {
    if (path.empty()) return;
    const StateFileRead read = ReadStateFile(path, kMaxSettingsExportBytes);
    if (read.missing) return;
    std::string problem = read.problem;
    if (problem.empty()) {
        CXmlNode root;
        CStringSource source(read.text);
        const XmlParseResult parsed = CXmlParser().ParseDocument(root, source);
        problem = DescribeXmlDamage(parsed, root, "Settings");
    }
    if (!problem.empty()) KeepStateFile(path, problem);
}

}  // namespace

CSettingTable BuildSettingTable(CAppIdentity& identity) {
    CSettingTable table;
    for (const FixedEntry& e : kFixedEntries) {
        table.AddSetting(e.key, e.id,
                         e.textDefault ? V::String(e.textDefault) : V::Int(e.intDefault));
    }
    table.AddSetting("Misc/Download Folder", setting::kDownloadFolder,
                     V::String(DataPath(identity, "Downloads")), false);
    table.AddSetting("Misc/Cache Folder", setting::kCacheFolder,
                     V::String(DataPath(identity, "Cache")), false);
    table.AddSetting("Misc/Log Folder", setting::kLogFolder, V::String(DataPath(identity, "Log")));
    table.AddSetting("Misc/Check Folder", setting::kCheckFolder,
                     V::String(DataPath(identity, "Downloads")));
    table.AddSetting("Misc/Report Folder", setting::kReportFolder,
                     V::String(DataPath(identity, "Reports")));
    table.AddSetting("Misc/Monitor Queue File", setting::kMonitorQueueFile,
                     V::String(DataPath(identity, "m.xml", true)), false);
    table.AddSetting("HTTP/User Agent", setting::kHttpUserAgent,
                     V::String(Format("%s %s (%s)", Slot(identity, CAppIdentity::kProduct),
                                      Slot(identity, CAppIdentity::kVersion),
                                      Slot(identity, CAppIdentity::kHomePageLink))));
    table.AddSetting("Layout/Monitor List Columns", setting::kMonitorListColumns, V::String(""));
    return table;
}

CPropertySet& AppSettings() {
    static CPropertySet settings(CPropertySet::Locking::ThreadSafe);
    return settings;
}

CSettingTable& AppSettingTable() {
    static CSettingTable table = BuildSettingTable(CAppIdentity::Instance());
    return table;
}

void ClampSettings(CPropertySet& settings) {
    for (const Bound& b : kBounds) {
        std::int32_t v = b.min;  // a missing value or one of another kind takes the minimum
        if (settings.GetKind(b.id) == PropertyKind::Int)
            v = std::clamp(settings.Int(b.id), b.min, b.max);
        settings.SetInt(b.id, v);
    }
}

void LoadSettings(const CSettingTable& table, CPropertySet& settings,
                  const SettingsContext& context) {
    CAppIdentity& identity = *context.identity;
    FillRuntimeSettings(identity, settings);
    CheckSettingsExport(SettingsExportPath(identity));
    CRegistryKey key(context.registry ? *context.registry : CRegistryFile::User());
    const std::string keyPath = SettingsKeyPath(identity);
    if (!keyPath.empty() && key.Open(keyPath, false) != CRegistryFile::kFailed) {
        table.LoadFrom(key, settings);
    } else {
        table.ApplyDefaults(settings);
    }
    ClampSettings(settings);
}

std::string FormatSettingsExport(const CSettingTable& table, const CPropertySet& settings) {
    CXmlNode root;
    CXmlNode* declaration = root.AddChild("", "", "", XML_DECLARATION);
    CXmlNode* top = declaration->AddChild("Settings", "", "", XML_ELEMENT);
    top->AddChild("", "", "X-Settings", XML_TEXT);
    table.SaveTo(*top, settings);
    CStringSink sink;
    root.WriteDocument(sink);
    return sink.Text();
}

void SaveSettings(const CSettingTable& table, const CPropertySet& settings,
                  const SettingsContext& context) {
    CAppIdentity& identity = *context.identity;
    {
        CRegistryKey key(context.registry ? *context.registry : CRegistryFile::User());
        const std::string keyPath = SettingsKeyPath(identity);
        if (!keyPath.empty() && key.Open(keyPath, true) != CRegistryFile::kFailed) {
            table.SaveTo(key, settings);
        }
    }  // closing the key writes the registry file

    std::string folder;
    std::error_code ec;
    if (identity.GetIdentity(CAppIdentity::kDataFolder, folder) && fs::is_directory(folder, ec) &&
        !IsStateFileKept(folder + "/Settings.xml")) {
        WriteFileAtomically(folder + "/Settings.xml", FormatSettingsExport(table, settings));
    }
    if (context.broadcast) context.broadcast(3, static_cast<long>(::getpid()));
    UpdateAutostartEntry(settings.Int(setting::kRunOnStartup) != 0,
                         settings.String(setting::kExecutablePath));
}

std::string AutostartEntryPath() {
    const std::string config = UserConfigHome();
    return config.empty() ? std::string() : config + "/autostart/tellweir.desktop";
}

bool UpdateAutostartEntry(bool enabled, const std::string& executablePath) {
    const std::string path = AutostartEntryPath();
    if (path.empty()) return false;
    std::error_code ec;
    if (!enabled) {
        fs::remove(path, ec);
        return !fs::exists(path, ec);
    }
    if (executablePath.empty()) return false;
    // Quoted as the desktop entry format asks for arguments with blanks.
    std::string quoted = "\"";
    for (char c : executablePath) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    const std::string entry =
        "[Desktop Entry]\nType=Application\nName=Tellweir\nComment=Watches web resources and "
        "local files for change\nExec=" +
        quoted +
        " -winstart\nTerminal=false\n"
        "X-GNOME-Autostart-enabled=true\n";
    MakePrivateFolders(fs::path(path).parent_path().string());
    return WriteFileAtomically(path, entry);
}

}  // namespace tellweir
