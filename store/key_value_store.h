// CKeyValueStore: typed values addressed by slash-separated key paths such as "Misc/Log Folder",
// so that code which saves or loads settings can target an XML tree or the registry alike.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tellweir {

// Every operation returns true on success. A failed read leaves its out value as the caller set
// it, so callers preset their defaults. Reads are not const: a store may create the keys it walks.
class CKeyValueStore {
  public:
    virtual ~CKeyValueStore() = default;

    virtual bool ReadString(std::string_view path, std::string& value) = 0;
    virtual bool WriteString(std::string_view path, std::string_view value) = 0;
    virtual bool ReadInt(std::string_view path, std::int32_t& value) = 0;
    virtual bool WriteInt(std::string_view path, std::int32_t value) = 0;
    virtual bool ReadInt64(std::string_view path, std::int64_t& value) = 0;
    virtual bool WriteInt64(std::string_view path, std::int64_t value) = 0;
    virtual bool WriteBinary(std::string_view path, const void* bytes, std::uint32_t length) = 0;
    // `length` holds the buffer size on entry and the number of bytes copied on return.
    virtual bool ReadBinary(std::string_view path, void* buffer, std::uint32_t& length) = 0;
    virtual bool ReadBinarySize(std::string_view path, std::uint32_t& length) = 0;
    virtual bool DeleteKey(std::string_view path) = 0;
};

}  // namespace tellweir
