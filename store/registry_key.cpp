// Typed reads and writes of registry values.
#include "store/registry_key.h"

#include <cstring>

namespace tellweir {
namespace {

struct SplitPath {
    std::string subKey;
    std::string name;
};

SplitPath Split(std::string_view path) {
    const auto cut = path.find_last_of("/\\");
    if (cut == std::string_view::npos) return {{}, std::string(path)};
    return {std::string(path.substr(0, cut)), std::string(path.substr(cut + 1))};
}

std::string Join(const std::string& key, const std::string& sub) {
    return sub.empty() ? key : key + "\\" + sub;
}

std::string LittleEndian(std::uint64_t v, int bytes) {
    std::string out(static_cast<std::size_t>(bytes), '\0');
    for (int i = 0; i < bytes; ++i)
        out[i] = static_cast<char>((v >> (8 * i)) & 0xff);
    return out;
}

std::uint64_t FromLittleEndian(const std::string& data) {
    std::uint64_t v = 0;
    for (std::size_t i = data.size(); i-- > 0;)
        v = v << 8 | static_cast<unsigned char>(data[i]);
    return v;
}

}  // namespace

CRegistryFile::OpenResult CRegistryKey::Open(std::string_view keyPath, bool forWrite) {
    Close();
    const CRegistryFile::OpenResult result = root_->OpenKey(keyPath, forWrite);
    if (result != CRegistryFile::kFailed) {
        keyPath_ = keyPath;
        open_ = true;
        wrote_ = result == CRegistryFile::kCreated;
    }
    return result;
}

void CRegistryKey::Close() {
    if (open_ && wrote_) root_->Flush();
    open_ = false;
    wrote_ = false;
}

bool CRegistryKey::Read(std::string_view path, RegType type, RegValue& out) {
    if (!open_) return false;
    const SplitPath split = Split(path);
    return root_->GetValue(Join(keyPath_, split.subKey), split.name, out) && out.type == type;
}

bool CRegistryKey::Write(std::string_view path, RegValue value) {
    if (!open_) return false;
    const SplitPath split = Split(path);
    const std::string key = Join(keyPath_, split.subKey);
    if (root_->OpenKey(key, true) == CRegistryFile::kFailed) return false;
    wrote_ = true;
    return root_->SetValue(key, split.name, std::move(value));
}

bool CRegistryKey::ReadString(std::string_view path, std::string& value) {
    RegValue v;
    if (!Read(path, RegType::String, v)) return false;
    value = std::move(v.data);
    return true;
}

bool CRegistryKey::WriteString(std::string_view path, std::string_view value) {
    return Write(path, {RegType::String, std::string(value)});
}

bool CRegistryKey::ReadInt(std::string_view path, std::int32_t& value) {
    RegValue v;
    if (!Read(path, RegType::Dword, v) || v.data.size() != 4) return false;
    value = static_cast<std::int32_t>(static_cast<std::uint32_t>(FromLittleEndian(v.data)));
    return true;
}

bool CRegistryKey::WriteInt(std::string_view path, std::int32_t value) {
    return Write(path, {RegType::Dword, LittleEndian(static_cast<std::uint32_t>(value), 4)});
}

bool CRegistryKey::ReadInt64(std::string_view path, std::int64_t& value) {
    RegValue v;
    if (!Read(path, RegType::Binary, v) || v.data.size() != 8) return false;
    value = static_cast<std::int64_t>(FromLittleEndian(v.data));
    return true;
}

bool CRegistryKey::WriteInt64(std::string_view path, std::int64_t value) {
    return Write(path, {RegType::Binary, LittleEndian(static_cast<std::uint64_t>(value), 8)});
}

bool CRegistryKey::WriteBinary(std::string_view path, const void* bytes, std::uint32_t length) {
    std::string data;
    if (bytes && length) data.assign(static_cast<const char*>(bytes), length);
    return Write(path, {RegType::Binary, std::move(data)});
}

bool CRegistryKey::ReadBinary(std::string_view path, void* buffer, std::uint32_t& length) {
    RegValue v;
    if (!Read(path, RegType::Binary, v)) {
        length = 0;
        return false;
    }
    length = std::min<std::uint32_t>(length, static_cast<std::uint32_t>(v.data.size()));
    if (length) std::memcpy(buffer, v.data.data(), length);
    return true;
}

bool CRegistryKey::ReadBinarySize(std::string_view path, std::uint32_t& length) {
    RegValue v;
    length = 0;
    if (!Read(path, RegType::Binary, v)) return false;
    length = static_cast<std::uint32_t>(v.data.size());
    return true;
}

bool CRegistryKey::DeleteKey(std::string_view path) {
    if (!open_) return false;
    const bool deleted = root_->DeleteKey(Join(keyPath_, std::string(path)));
    wrote_ = wrote_ || deleted;
    return deleted;
}

}  // namespace tellweir
