// The registry store and its REGEDIT4 file form.
#include "store/registry_file.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "base/ascii_text.h"
#include "store/app_identity.h"
#include "store/atomic_file.h"
#include "store/private_folder.h"
#include "store/state_file.h"

namespace tellweir {
namespace {

constexpr std::string_view kHeader = "REGEDIT4";
constexpr std::string_view kRoot = "HKEY_CURRENT_USER";
constexpr std::size_t kMaxRegistryFileBytes = 16u << 20;  // far beyond any real settings file

std::string Quote(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

// Text that REGEDIT4 can hold between quotes on one line.
bool IsPlainText(std::string_view s) {
    return std::none_of(s.begin(), s.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u < 0x20 || u == 0x7f;
    });
}

std::string HexList(std::string_view bytes) {
    std::string out;
    char buf[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%02x", static_cast<unsigned char>(bytes[i]));
        if (i) out += ',';
        out += buf;
    }
    return out;
}

// Reads "aa,bb,..." (blanks allowed); false on anything else.
bool ParseHexList(std::string_view text, std::string& out) {
    out.clear();
    int pending = -1;
    int digits = 0;
    for (char c : text) {
        if (IsBlankOrTab(c)) continue;
        if (c == ',') {
            if (digits == 0) return false;
            out += static_cast<char>(pending);
            pending = -1;
            digits = 0;
            continue;
        }
        const int d = HexDigitValue(c);
        if (d < 0 || digits == 2) return false;
        pending = digits == 0 ? d : pending * 16 + d;
        ++digits;
    }
    if (digits) out += static_cast<char>(pending);
    return true;
}

// Reads a quoted string with \\ and \" escapes from the start of `s`; `s` moves past it.
bool ReadQuoted(std::string_view& s, std::string& out) {
    if (s.empty() || s.front() != '"') return false;
    out.clear();
    for (std::size_t i = 1; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            out += s[++i];
        } else if (s[i] == '"') {
            s.remove_prefix(i + 1);
            return true;
        } else {
            out += s[i];
        }
    }
    return false;
}

bool ParseValue(std::string_view text, RegValue& value) {
    if (!text.empty() && text.front() == '"') {
        value.type = RegType::String;
        if (!ReadQuoted(text, value.data)) return false;
        // A string value ends at its terminating zero, however it was written.
        value.data.resize(std::min(value.data.size(), value.data.find('\0')));
        return true;
    }
    const auto colon = text.find(':');
    if (colon == std::string_view::npos) return false;
    const std::string kind = LowerAscii(text.substr(0, colon));
    const std::string_view rest = text.substr(colon + 1);
    if (kind == "dword") {
        if (rest.empty() || rest.size() > 8) return false;
        std::uint32_t v = 0;
        for (char c : rest) {
            const int d = HexDigitValue(c);
            if (d < 0) return false;
            v = v * 16 + static_cast<std::uint32_t>(d);
        }
        value.type = RegType::Dword;
        value.data.assign(4, '\0');
        for (int i = 0; i < 4; ++i)
            value.data[i] = static_cast<char>((v >> (8 * i)) & 0xff);
        return true;
    }
    std::string bytes;
    if (!ParseHexList(rest, bytes)) return false;
    if (kind == "hex") {
        value.type = RegType::Binary;
        value.data = std::move(bytes);
        return true;
    }
    if (kind == "hex(1)") {  // text that did not fit between quotes, with its terminating zero
        value.type = RegType::String;
        value.data = bytes.substr(0, bytes.find('\0'));
        return true;
    }
    return false;  // kinds this program never writes
}

// Splits the text into logical lines, joining hex lists continued with a trailing backslash.
std::vector<std::string> LogicalLines(std::string_view text) {
    std::vector<std::string> lines;
    std::string current;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        pos = end + 1;
        if (!current.empty()) line = TrimLeadingAscii(line, IsBlankOrTab);
        current += line;
        const bool continued =
            !current.empty() && current.back() == '\\' && current.find("=hex") != std::string::npos;
        if (continued) {
            current.pop_back();
        } else {
            lines.push_back(std::move(current));
            current.clear();
        }
    }
    if (!current.empty()) lines.push_back(std::move(current));
    return lines;
}

}  // namespace

CRegistryFile::CRegistryFile(std::string filePath) : filePath_(std::move(filePath)) {}

CRegistryFile& CRegistryFile::User() {
    static CRegistryFile* user = [] {
        std::string path;
        CAppIdentity::Instance().GetRegistryFilePath(path);
        auto* file = new CRegistryFile(path);  // lives until exit, like the system registry
        file->Load();
        return file;
    }();
    return *user;
}

std::string CRegistryFile::Normalize(std::string_view keyPath) {
    std::string out;
    std::size_t pos = 0;
    while (pos < keyPath.size()) {
        std::size_t end = keyPath.find_first_of("\\/", pos);
        if (end == std::string_view::npos) end = keyPath.size();
        if (end > pos) {
            if (!out.empty()) out += '\\';
            out.append(keyPath.substr(pos, end - pos));
        }
        pos = end + 1;
    }
    return out;
}

CRegistryFile::Key& CRegistryFile::EnsureKeyLocked(const std::string& normalized) {
    // Every level exists as a key of its own, as in the registry.
    std::size_t pos = 0;
    while (true) {
        const std::size_t end = normalized.find('\\', pos);
        const std::string level = normalized.substr(0, end);
        auto [it, inserted] = keys_.try_emplace(LowerAscii(level));
        if (inserted) {
            it->second.name = level;
            dirty_ = true;
        }
        if (end == std::string::npos) return it->second;
        pos = end + 1;
    }
}

CRegistryFile::OpenResult CRegistryFile::OpenKey(std::string_view keyPath, bool create) {
    const std::string normalized = Normalize(keyPath);
    if (normalized.empty()) return kFailed;
    std::lock_guard g(lock_);
    if (keys_.contains(LowerAscii(normalized))) return kOpened;
    if (!create) return kFailed;
    EnsureKeyLocked(normalized);
    return kCreated;
}

bool CRegistryFile::KeyExists(std::string_view keyPath) const {
    std::lock_guard g(lock_);
    return keys_.contains(LowerAscii(Normalize(keyPath)));
}

bool CRegistryFile::GetValue(std::string_view keyPath, std::string_view name, RegValue& out) const {
    std::lock_guard g(lock_);
    auto key = keys_.find(LowerAscii(Normalize(keyPath)));
    if (key == keys_.end()) return false;
    auto value = key->second.values.find(LowerAscii(name));
    if (value == key->second.values.end()) return false;
    out = value->second.second;
    return true;
}

bool CRegistryFile::SetValue(std::string_view keyPath, std::string_view name, RegValue value) {
    std::lock_guard g(lock_);
    auto key = keys_.find(LowerAscii(Normalize(keyPath)));
    if (key == keys_.end()) return false;
    auto& slot = key->second.values[LowerAscii(name)];
    if (slot.first.empty()) slot.first = name;
    if (!(slot.second == value)) {
        slot.second = std::move(value);
        dirty_ = true;
    }
    return true;
}

bool CRegistryFile::DeleteKey(std::string_view keyPath) {
    const std::string lower = LowerAscii(Normalize(keyPath));
    if (lower.empty()) return false;
    std::lock_guard g(lock_);
    auto it = keys_.find(lower);
    if (it == keys_.end()) return false;
    keys_.erase(it);
    // The keys below it are exactly those from "<path>\" up to "<path>]" (']' follows '\').
    keys_.erase(keys_.lower_bound(lower + '\\'), keys_.lower_bound(lower + ']'));
    dirty_ = true;
    return true;
}

std::string CRegistryFile::Format() const {
    std::lock_guard g(lock_);
    std::string out(kHeader);
    out += "\r\n";
    for (const auto& [lower, key] : keys_) {
        out += "\r\n[" + std::string(kRoot) + "\\" + key.name + "]\r\n";
        for (const auto& [lowerName, entry] : key.values) {
            const auto& [name, value] = entry;
            out += name.empty() ? "@" : Quote(name);
            out += '=';
            switch (value.type) {
                case RegType::String:
                    out += IsPlainText(value.data) ? Quote(value.data)
                                                   : "hex(1):" + HexList(value.data + '\0');
                    break;
                case RegType::Dword: {
                    std::uint32_t v = 0;
                    for (int i = 3; i >= 0; --i)
                        v = v << 8 | static_cast<unsigned char>(value.data[i]);
                    char buf[16];
                    std::snprintf(buf, sizeof buf, "dword:%08x", v);
                    out += buf;
                    break;
                }
                case RegType::Binary:
                    out += "hex:" + HexList(value.data);
                    break;
            }
            out += "\r\n";
        }
    }
    return out;
}

bool CRegistryFile::Parse(std::string_view text) {
    std::lock_guard g(lock_);
    keys_.clear();
    dirty_ = false;
    const std::vector<std::string> lines = LogicalLines(text);
    auto line = lines.begin();
    while (line != lines.end() && line->empty())
        ++line;
    if (line == lines.end() || *line != kHeader) return false;
    const std::string rootPrefix = std::string(kRoot) + "\\";
    Key* current = nullptr;
    for (++line; line != lines.end(); ++line) {
        std::string_view l = *line;
        if (l.empty() || l.front() == ';') continue;
        if (l.front() == '[') {
            current = nullptr;
            const auto close = l.rfind(']');
            if (close == std::string_view::npos) continue;
            const std::string_view path = l.substr(1, close - 1);
            if (!StartsWithIgnoreAsciiCase(path, rootPrefix)) continue;
            const std::string normalized = Normalize(path.substr(rootPrefix.size()));
            if (!normalized.empty()) current = &EnsureKeyLocked(normalized);
            continue;
        }
        if (!current) continue;
        std::string name;
        if (l.front() == '@') {
            l.remove_prefix(1);
        } else if (!ReadQuoted(l, name)) {
            continue;
        }
        if (l.empty() || l.front() != '=') continue;
        RegValue value;
        if (!ParseValue(l.substr(1), value)) continue;
        current->values[LowerAscii(name)] = {name, std::move(value)};
    }
    dirty_ = false;
    return true;
}

bool CRegistryFile::Load() {
    if (filePath_.empty()) return false;
    const StateFileRead read = ReadStateFile(filePath_, kMaxRegistryFileBytes);
    std::lock_guard g(lock_);
    keepFile_ = false;
    // An empty file holds nothing to lose: it is an empty store, as a missing one.
    if (read.missing || (read.Read() && TrimAsciiSpace(read.text).empty())) {
        keys_.clear();
        dirty_ = false;
        return true;
    }
    std::string problem = read.problem;
    if (problem.empty() && !Parse(read.text)) problem = "damaged: not a registry file";
    if (problem.empty()) return true;
    Parse("");
    keepFile_ = true;
    KeepStateFile(filePath_, problem);
    return false;
}

bool CRegistryFile::Flush() {
    std::lock_guard g(lock_);
    if (!dirty_) return true;
    if (filePath_.empty() || keepFile_) return false;
    MakePrivateFolders(std::filesystem::path(filePath_).parent_path().string());
    if (!WriteFileAtomically(filePath_, Format())) return false;
    dirty_ = false;
    return true;
}

}  // namespace tellweir
