// Renders the settings dialog, one picture per page, and the proxy dialog to PNG files.
#include <QApplication>
#include <QTreeWidget>
#include <cstdio>

#include "shell/main_window/main_frame.h"
#include "shell/settings/proxy_dialog.h"
#include "shell/settings/settings_dialog.h"
#include "store/app_settings.h"
#include "store/password_store.h"
#include "store/setting_ids.h"
#include "tests/shell/screenshots/screens.h"

namespace tellweir {

void RenderSettingsScreens(const QString& outFolder, const QString& suffix, CMainFrame& frame,
                           CMonitorEngine&, const MonitorTaskPtr&) {
    CPropertySet settings(AppSettings());
    settings.SetString(setting::kProxyAll,
                       "HTTP->http://proxy.example.com:8080;"
                       "HTTPS->http://proxy.example.com:8080;"
                       "HTTP->socks5://alice@socks.example.com:1080;");
    settings.SetString(setting::kProxyHttp, "http://proxy.example.com:8080");
    settings.SetInt(setting::kProxyHttpEnabled, 1);
    settings.SetInt(setting::kHttpEnableUserAgent, 1);
    CPasswordStore passwords;
    const SettingsDialogContext context{
        .settings = &settings, .passwords = &passwords, .save = [](const CPropertySet&) {}};

    const struct {
        const char* path;
        const char* name;
    } pages[] = {
        {"- logs -", "settings-misc"},
        {"Connections", "settings-connection"},
        {"Connections\\Proxy", "settings-proxy"},
        {"HTTP", "settings-http"},
        {"FTP", "settings-ftp"},
    };
    for (const auto& page : pages) {
        CSettingsDialog dialog(context, QString::fromLatin1(page.path), &frame);
        dialog.show();
        SaveShot(dialog, outFolder, QString::fromLatin1(page.name) + suffix);
    }

    ProxyEntry entry;
    entry.type = ProtocolId::Socks5;
    entry.host = QStringLiteral("socks.example.com");
    entry.port = 1080;
    entry.user = QStringLiteral("alice");
    entry.password = QStringLiteral("secret");
    CProxyDialog proxy(entry, &frame);
    proxy.show();
    SaveShot(proxy, outFolder, QStringLiteral("proxy-dialog") + suffix);
}

}  // namespace tellweir
