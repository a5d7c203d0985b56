// CRegistryFile: the per-user hierarchical store that stands in for the system registry, kept in
// one REGEDIT4 text file. Keys are backslash-separated paths compared without regard to case;
// values keep their kind (text, 32-bit number, bytes), and a read of another kind fails.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

namespace tellweir {

enum class RegType : std::uint32_t { String = 1, Binary = 3, Dword = 4 };

struct RegValue {
    RegType type = RegType::String;
    std::string data;  // text for String; 4 little-endian bytes for Dword; raw bytes for Binary

    friend bool operator==(const RegValue&, const RegValue&) = default;
};

class CRegistryFile {
  public:
    // Outcomes of opening a key.
    enum OpenResult : int { kFailed = 0, kCreated = 1, kOpened = 2 };

    // A store kept in `filePath`; nothing is read until Load.
    explicit CRegistryFile(std::string filePath = {});

    // The current user's store, at the path the application identity gives, loaded on first use.
    static CRegistryFile& User();

    const std::string& FilePath() const { return filePath_; }
    // Reads the file. A missing file gives an empty store and true; an unreadable, oversized or
    // foreign file gives an empty store and false, and is kept (KeepStateFile): Flush never
    // writes over it.
    bool Load();
    // Writes the file (atomically, creating its folder) when something changed since the last
    // load or save; true when the file holds the current content afterwards. False, writing
    // nothing, for a file the last Load could not read.
    bool Flush();

    // Opens `keyPath` (below the user's root); with `create`, missing levels are created.
    OpenResult OpenKey(std::string_view keyPath, bool create);
    bool KeyExists(std::string_view keyPath) const;
    bool GetValue(std::string_view keyPath, std::string_view name, RegValue& out) const;
    // Stores a value in an existing key; false when the key does not exist.
    bool SetValue(std::string_view keyPath, std::string_view name, RegValue value);
    // Deletes the key with all keys below it; false when it did not exist.
    bool DeleteKey(std::string_view keyPath);

    // The REGEDIT4 text of the whole store, and the parser of such text (which replaces the
    // store's content; false for text that is not a registry file).
    std::string Format() const;
    bool Parse(std::string_view text);

  private:
    struct Key {
        std::string name;  // the path as first written, for the file
        std::map<std::string, std::pair<std::string, RegValue>>
            values;  // lower name -> (name, value)
    };

    static std::string Normalize(std::string_view keyPath);
    Key& EnsureKeyLocked(const std::string& normalized);

    std::string filePath_;
    mutable std::recursive_mutex lock_;
    std::map<std::string, Key> keys_;  // lower-case normalized path -> key
    bool dirty_ = false;
    bool keepFile_ = false;  // the file could not be read: it is not written over
};

}  // namespace tellweir
