// Start-up and exit of the program's services, in the fixed order both sequences need: nothing
// a later service uses is saved or stopped before it.
#include "app/services.h"
#include "base/version.h"

#include "core/action_diff_file.h"
#include "core/process_launch.h"
#include "core/task_properties.h"
#include "net/cookie/cookie_store.h"
#include "net/net_clients.h"
#include "net/net_startup.h"
#include "store/app_identity.h"
#include "store/app_settings.h"
#include "store/password_store.h"
#include "store/url_history.h"
#include "transfer/local_fs.h"
#include "transfer/transfer_manager.h"

namespace tellweir {

namespace {

bool g_started = false;
bool g_persistent = true;

}  // namespace

std::string DataFilePath(std::string_view name) {
    std::string path;
    if (!CAppIdentity::Instance().GetDataFilePath(name, false, path)) return {};
    return path;
}

void SetProgramIdentity() {
    CAppIdentity& identity = CAppIdentity::Instance();
    identity.SetIdentity(CAppIdentity::kCompany, "Quandor Software");
    identity.SetIdentity(CAppIdentity::kProduct, "Tellweir");
    identity.SetIdentity(CAppIdentity::kVersion, kProgramVersion);
    identity.SetIdentity(CAppIdentity::kHomePageLink, "https://tellweir.example/");
    identity.SetIdentity(CAppIdentity::kSupportLink, "mailto:support@tellweir.example");
    identity.SetIdentity(CAppIdentity::kOrderLink, "https://tellweir.example/order");
    identity.SetIdentity(CAppIdentity::kOrderLink2, "https://tellweir.example/order");
    task::TaskPropertyTable();
}

bool StartServices(IDesktopPort* desktop, bool persistent) {
    if (!Startup(true)) return false;
    // Made here, before any background thread lowers its priority, so that the programs the
    // actions start run at the priority the user gave the program.
    PrepareProcessLaunch();
    std::string folder;
    if (CAppIdentity::Instance().GetDataFilePath("", false, folder)) MakeDirectories(folder);
    bool wrongKey = false;
    const std::string passwords = DataFilePath("Passwords.bf");
    // A file that cannot be read (another key, damage) leaves the store clean, so it is saved
    // over only once the user changes a password.
    if (!passwords.empty()) (void)CPasswordStore::Instance().Load(passwords, "", wrongKey);
    const std::string cookies = DataFilePath("Cookies.txt");
    if (!cookies.empty()) CCookieStore::Instance().Load(cookies);
    const std::string history = DataFilePath("History.xml");
    if (!history.empty()) ReadHistoryFile(history, CUrlHistory::Instance());
    LoadSettings(AppSettingTable(), AppSettings());
    // The diff files of actions whose program outlived the last run of this program.
    RemoveLeftoverDiffFiles();
    TransferManagerOptions options;
    options.desktop = desktop;
    if (persistent) options.infoCachePath = DefaultInfoCachePath();
    g_persistent = persistent;
    RegisterNetworkClients(CTransferManager::Create(options));
    g_started = true;
    return true;
}

void StopServices() {
    if (!g_started) return;
    g_started = false;
    CTransferManager::Shutdown();
    if (!g_persistent) {
        Startup(false);
        return;
    }
    const std::string passwords = DataFilePath("Passwords.bf");
    if (!passwords.empty() && CPasswordStore::Instance().IsDirty())
        CPasswordStore::Instance().Save(passwords, "");
    const std::string cookies = DataFilePath("Cookies.txt");
    if (!cookies.empty()) CCookieStore::Instance().Save(cookies);
    SaveSettings(AppSettingTable(), AppSettings());
    Startup(false);
}

}  // namespace tellweir
