// CRegistryKey: a key of the per-user registry store, read and written through the key/value
// interface, so that settings code can target the registry or an XML tree alike.
#pragma once

#include <string>

#include "store/key_value_store.h"
#include "store/registry_file.h"

namespace tellweir {

// A path given to the operations is split at its last '/' or '\': the part before is a subkey
// below this key (reads fail when it is missing, writes create it), the part after the value
// name. Numbers are dwords, 64-bit numbers 8 little-endian bytes, texts strings; a read of a value
// stored as another kind fails. Changes reach the file when the key is closed.
class CRegistryKey final : public CKeyValueStore {
  public:
    explicit CRegistryKey(CRegistryFile& root = CRegistryFile::User()) : root_(&root) {}
    ~CRegistryKey() override { Close(); }
    CRegistryKey(const CRegistryKey&) = delete;
    CRegistryKey& operator=(const CRegistryKey&) = delete;

    // Opens `keyPath` below the user's root; for writing, missing levels are created.
    CRegistryFile::OpenResult Open(std::string_view keyPath, bool forWrite);
    // Writes pending changes to the store's file and releases the key.
    void Close();
    bool IsOpen() const { return open_; }

    bool ReadString(std::string_view path, std::string& value) override;
    bool WriteString(std::string_view path, std::string_view value) override;
    bool ReadInt(std::string_view path, std::int32_t& value) override;
    bool WriteInt(std::string_view path, std::int32_t value) override;
    bool ReadInt64(std::string_view path, std::int64_t& value) override;
    bool WriteInt64(std::string_view path, std::int64_t value) override;
    bool WriteBinary(std::string_view path, const void* bytes, std::uint32_t length) override;
    bool ReadBinary(std::string_view path, void* buffer, std::uint32_t& length) override;
    bool ReadBinarySize(std::string_view path, std::uint32_t& length) override;
    // Deletes the subkey `path` (relative to this key) and every key below it.
    bool DeleteKey(std::string_view path) override;

  private:
    bool Read(std::string_view path, RegType type, RegValue& out);
    bool Write(std::string_view path, RegValue value);

    CRegistryFile* root_;
    std::string keyPath_;
    bool open_ = false;
    bool wrote_ = false;
};

}  // namespace tellweir
