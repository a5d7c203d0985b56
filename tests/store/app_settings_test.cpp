// Application settings: defaults, bounds, trimming, the registry round trip, the export and the
// autostart entry.
#include "store/app_settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>

#include "store/registry_key.h"
#include "store/setting_ids.h"
#include "tests/support/file_text.h"
#include "tests/support/temp_dir.h"

namespace tellweir {
namespace {

namespace fs = std::filesystem;
using testing::ReadAll;
using testing::TempDir;

class AppSettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
        identity_.SetIdentity(CAppIdentity::kCompany, "Quandor Software");
        identity_.SetIdentity(CAppIdentity::kProduct, "Tellweir");
        identity_.SetIdentity(CAppIdentity::kVersion, "1.1");
        identity_.SetIdentity(CAppIdentity::kHomePageLink, "home");
        table_ = BuildSettingTable(identity_);
        registry_ = std::make_unique<CRegistryFile>(dir_ / "config/registry.reg");
        context_.identity = &identity_;
        context_.registry = registry_.get();
    }
    void TearDown() override {
        unsetenv("XDG_DATA_HOME");
        unsetenv("XDG_CONFIG_HOME");
    }
    std::string DataFolder() const { return dir_ / "data/Quandor Software/Tellweir"; }
    // Writes values straight into the stored settings key.
    void Store(const std::function<void(CRegistryKey&)>& write) {
        CRegistryKey key(*registry_);
        key.Open("Software\\Quandor Software\\Tellweir\\Settings", true);
        write(key);
    }
    TempDir dir_{"settings"};
    CAppIdentity identity_;
    CSettingTable table_;
    std::unique_ptr<CRegistryFile> registry_;
    SettingsContext context_;
};

TEST_F(AppSettingsTest, FirstUseGivesEveryDefault) {
    CPropertySet settings(CPropertySet::Locking::ThreadSafe);
    LoadSettings(table_, settings, context_);
    EXPECT_EQ(settings.Int(setting::kMaxConnects), 10);
    EXPECT_EQ(settings.Int(setting::kMaxLogLines), 2000);
    EXPECT_EQ(settings.String(setting::kAnonymousPassword), "visit@");
    EXPECT_EQ(settings.String(setting::kCacheFolder), DataFolder() + "/Cache");
    EXPECT_EQ(settings.String(setting::kMonitorQueueFile), DataFolder() + "/1.1/m.xml");
    EXPECT_EQ(settings.String(setting::kHttpUserAgent), "Tellweir 1.1 (home)");
    EXPECT_EQ(settings.Int(setting::kAcceptUntrustedCertificates), 0);
    EXPECT_EQ(settings.Int(setting::kTransferTimeLimit), 3600);
    EXPECT_EQ(settings.Int(setting::kMaxDownloadSize), 4096);
    EXPECT_FALSE(settings.String(setting::kExecutablePath).empty());
    EXPECT_EQ(table_.FormatNonDefaults(settings), "");
}

TEST_F(AppSettingsTest, StoredValuesAreBoundedAndTrimmed) {
    Store([](CRegistryKey& key) {
        const std::pair<const char*, std::int32_t> ints[] = {
            {"Connections/Max Connects", 0},
            {"Connections/Max Connects Per Site", 500},
            {"Connections/Connection Timeout", 5},
            {"Connections/SSL-TLS Version", -3},
            {"Connections/Accept Untrusted Certificates", 7},
            {"Connections/Transfer Time Limit", -5},
            {"Misc/Max MRU Size", 21},
            {"Misc/Max Download Size", 2000000},
        };
        for (const auto& [path, value] : ints)
            key.WriteInt(path, value);
        key.WriteString("Connections/Connection Retries", "7");  // another kind: the default
        key.WriteString("Misc/Cache Folder", "   ");
        key.WriteString("Misc/Log Folder", "   ");
        key.WriteString("Misc/Download Folder", "  /srv/dl  ");
        key.WriteString("HTTP/User-Agent", "hyphenated");
    });

    CPropertySet settings;
    LoadSettings(table_, settings, context_);
    EXPECT_EQ(settings.Int(setting::kMaxConnects), 1);
    EXPECT_EQ(settings.Int(setting::kMaxConnectsPerSite), 200);
    EXPECT_EQ(settings.Int(setting::kConnectionTimeout), 10);
    EXPECT_EQ(settings.Int(setting::kSslTlsVersion), 0);
    EXPECT_EQ(settings.Int(setting::kAcceptUntrustedCertificates), 1);
    EXPECT_EQ(settings.Int(setting::kTransferTimeLimit), 0);
    EXPECT_EQ(settings.Int(setting::kMaxMruSize), 20);
    EXPECT_EQ(settings.Int(setting::kMaxDownloadSize), 1048576);
    EXPECT_EQ(settings.Int(setting::kConnectionRetries), 5);
    EXPECT_EQ(settings.String(setting::kCacheFolder), DataFolder() + "/Cache");
    EXPECT_EQ(settings.String(setting::kLogFolder), "   ");
    EXPECT_EQ(settings.String(setting::kDownloadFolder), "/srv/dl");
    EXPECT_EQ(settings.String(setting::kHttpUserAgent), "Tellweir 1.1 (home)");
}

TEST_F(AppSettingsTest, SavedSettingsLoadBackEqual) {
    CPropertySet settings;
    LoadSettings(table_, settings, context_);
    settings.SetInt(setting::kMaxConnects, 3);
    settings.SetString(setting::kProxyHttp, "http://proxy.test:3128");
    settings.SetString(setting::kMainFrameLayout, "1:2:3:4:0");
    settings.SetInt(setting::kHttpEnableCookies, 0);
    SaveSettings(table_, settings, context_);

    CRegistryFile reread(registry_->FilePath());
    ASSERT_TRUE(reread.Load());
    CPropertySet loaded;
    SettingsContext context = context_;
    context.registry = &reread;
    LoadSettings(table_, loaded, context);
    for (const CSettingDef& def : table_.Entries()) {
        EXPECT_EQ(loaded.GetValue(def.id), settings.GetValue(def.id)) << def.key;
    }
    // A zero is not kept in a sparse set, so the disabled cookies are not listed.
    EXPECT_EQ(table_.FormatNonDefaults(loaded),
              "Proxy/HTTP=\"http://proxy.test:3128\" Connections/Max Connects=\"3\" "
              "Layout/Main Frame=\"1:2:3:4:0\"");
}

TEST_F(AppSettingsTest, ExportLayoutAndItsPlaceInTheDataFolder) {
    CPropertySet settings;
    LoadSettings(table_, settings, context_);
    const std::string text = FormatSettingsExport(table_, settings);
    EXPECT_EQ(
        text.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Settings>\r\n  X-Settings\r\n"
                   "  <Misc>\r\n    <Default_Tab_Size>4</Default_Tab_Size>\r\n",
                   0),
        0u);
    const auto mru = text.find("<Max_MRU_Size>10</Max_MRU_Size>");
    const auto download = text.find("<Download_Folder>");
    const auto http = text.find("  <HTTP>");
    EXPECT_LT(mru, download);
    EXPECT_LT(download, http);
    EXPECT_NE(text.find("<User_Agent>Tellweir 1.1 (home)</User_Agent>"), std::string::npos);
    const auto untrusted =
        text.find("<Accept_Untrusted_Certificates>0</Accept_Untrusted_Certificates>");
    EXPECT_NE(untrusted, std::string::npos);
    EXPECT_LT(text.find("<SSL-TLS_Version>1</SSL-TLS_Version>"), untrusted);
    EXPECT_NE(text.find("<Transfer_Time_Limit>3600</Transfer_Time_Limit>"), std::string::npos);
    EXPECT_LT(mru, text.find("<Max_Download_Size>4096</Max_Download_Size>"));
    EXPECT_LT(text.find("  <Layout>"), text.find("<Monitor_List_Columns>"));
    EXPECT_LT(text.find("<Monitor_List_Columns>"), text.find("  </Layout>"));
    EXPECT_EQ(text.substr(text.size() - 13), "</Settings>\r\n");

    SaveSettings(table_, settings, context_);  // no data folder yet: no export
    EXPECT_FALSE(fs::exists(DataFolder() + "/Settings.xml"));
    fs::create_directories(DataFolder());
    SaveSettings(table_, settings, context_);
    EXPECT_EQ(ReadAll(DataFolder() + "/Settings.xml"), text);
}

TEST_F(AppSettingsTest, ValueListsSetTypedValues) {
    CPropertySet settings;
    table_.ApplyValueList("misc/max_log_lines=\"12abc\" Proxy/HTTP='a &amp; b' Unknown=1", settings,
                          false);
    EXPECT_EQ(settings.String(setting::kProxyHttp), "a & b");
    table_.ApplyValueList("Misc/Max_Log_Lines=\"77\"", settings, true);  // no such key, case aside
    EXPECT_EQ(settings.Int(setting::kMaxLogLines), 0);
    CSettingTable small;
    small.AddSetting("A/Count", 1, PropertyValue::Int(5));
    small.AddSetting("A/Big", 2, PropertyValue::Int64(7));
    small.ApplyValueList("a/count=\"12abc\" A/Big=\"-9000000000\"", settings, false);
    EXPECT_EQ(settings.Int(1), 12);
    EXPECT_EQ(settings.Int64(2), -9000000000LL);
    EXPECT_EQ(small.FormatNonDefaults(settings), "A/Count=\"12\" A/Big=\"-9000000000\"");
    small.AddSetting("A/Again", 1, PropertyValue::Int(0));  // same id: replaces and moves last
    EXPECT_EQ(small.Entries().back().key, "A/Again");
    EXPECT_EQ(small.Entries().size(), 2u);
}

TEST_F(AppSettingsTest, AutostartEntryFollowsTheSetting) {
    const std::string path = AutostartEntryPath();
    EXPECT_EQ(path, dir_ / "config/autostart/tellweir.desktop");
    ASSERT_TRUE(UpdateAutostartEntry(true, "/opt/tell weir/tellweir"));
    EXPECT_NE(ReadAll(path).find("Exec=\"/opt/tell weir/tellweir\" -winstart\n"),
              std::string::npos);
    ASSERT_TRUE(UpdateAutostartEntry(false, ""));
    EXPECT_FALSE(fs::exists(path));
}

}  // namespace
}  // namespace tellweir
