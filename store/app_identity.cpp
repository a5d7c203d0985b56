// Identity slots and the folders and paths derived from them.
#include "store/app_identity.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "base/ascii_text.h"

namespace tellweir {
namespace {

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home == '/') return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir && *pw->pw_dir == '/') {
        return pw->pw_dir;
    }
    return {};
}

// An absolute folder from `variable`, else `fallback` below the home folder.
std::string XdgFolder(const char* variable, const char* fallback) {
    if (const char* value = std::getenv(variable); value && *value == '/') return value;
    const std::string home = HomeFolder();
    return home.empty() ? std::string() : home + "/" + fallback;
}

}  // namespace

std::string UserDataHome() {
    return XdgFolder("XDG_DATA_HOME", ".local/share");
}
std::string UserConfigHome() {
    return XdgFolder("XDG_CONFIG_HOME", ".config");
}

CAppIdentity::CAppIdentity() {
    slots_ = {
        "Noname company", "Noname product", "1.0", "Common", "Common", "", "", "", "", "", ""};
}

CAppIdentity& CAppIdentity::Instance() {
    static CAppIdentity identity;
    return identity;
}

void CAppIdentity::SetIdentity(int index, std::string_view text) {
    if (index < 0 || index >= kSlotCount) return;
    std::lock_guard g(lock_);
    slots_[index] = text;
    if (index == kCompany || index == kProduct) {
        slots_[kDataFolder].clear();
        slots_[kRegistryPath].clear();
    }
}

bool CAppIdentity::ComputeLocked(int index) {
    const std::string& company = slots_[kCompany];
    const std::string& product = slots_[kProduct];
    if (company.empty() || product.empty()) return false;
    if (index == kDataFolder) {
        const std::string base(TrimTrailingPathSeparators(UserDataHome()));
        if (base.empty()) return false;
        slots_[kDataFolder] = base + "/" + company + "/" + product;
    } else {
        slots_[kRegistryPath] = "Software\\" + company + "\\" + product;
    }
    return true;
}

bool CAppIdentity::GetIdentity(int index, std::string& out) {
    if (index < 0 || index >= kSlotCount) return false;
    std::lock_guard g(lock_);
    if ((index == kDataFolder || index == kRegistryPath) && slots_[index].empty() &&
        !ComputeLocked(index)) {
        return false;
    }
    out = slots_[index];
    return true;
}

bool CAppIdentity::ComposeLocked(int rootSlot, char separator, std::string_view subPath,
                                 bool versioned, std::string& out) {
    if (slots_[rootSlot].empty() && !ComputeLocked(rootSlot)) return false;
    out = slots_[rootSlot];
    if (versioned && !slots_[kVersion].empty()) out += separator + slots_[kVersion];
    subPath = TrimAscii(subPath, IsPathSeparator);
    if (!subPath.empty()) {
        out += separator;
        out += subPath;
    }
    return true;
}

bool CAppIdentity::GetDataFilePath(std::string_view subPath, bool versioned, std::string& out) {
    std::lock_guard g(lock_);
    return ComposeLocked(kDataFolder, '/', subPath, versioned, out);
}

bool CAppIdentity::GetRegistryPath(std::string_view subPath, bool versioned, std::string& out) {
    std::lock_guard g(lock_);
    return ComposeLocked(kRegistryPath, '\\', subPath, versioned, out);
}

bool CAppIdentity::GetRegistryFilePath(std::string& out) {
    std::lock_guard g(lock_);
    const std::string base(TrimTrailingPathSeparators(UserConfigHome()));
    if (base.empty() || slots_[kCompany].empty() || slots_[kProduct].empty()) return false;
    out = base + "/" + slots_[kCompany] + "/" + slots_[kProduct] + "/registry.reg";
    return true;
}

std::string CAppIdentity::FormatProductTitle(std::string_view prefix, std::string_view suffix,
                                             bool withVersion) {
    std::lock_guard g(lock_);
    std::string title(prefix);
    title += slots_[kProduct];
    if (withVersion) title += " " + slots_[kVersion];
    title += " - " + slots_[kCompany];
    title += suffix;
    return title;
}

}  // namespace tellweir
