// CPasswordStore: the passwords the user entered for web and FTP servers and proxies, keyed by
// resource, and their file "Passwords.bf" (Blowfish-enciphered, each password also scrambled).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

#include "base/date_time.h"

namespace tellweir {

inline constexpr std::string_view kPasswordFileName = "Passwords.bf";
// A larger file is not ours: it is refused before anything is read.
inline constexpr std::size_t kMaxPasswordFileBytes = 16 * 1024 * 1024;

// Thread-safe: every operation takes the store's one lock, so protocol workers may call Get while
// the settings dialog calls Set. Keys are kept in lower case (ASCII letters).
class CPasswordStore {
  public:
    using Visitor = std::function<void(const std::string& key, const std::string& password)>;

    CPasswordStore() = default;
    CPasswordStore(const CPasswordStore&) = delete;
    CPasswordStore& operator=(const CPasswordStore&) = delete;
    virtual ~CPasswordStore() = default;

    // The store of the process, created on first use.
    static CPasswordStore& Instance();

    // False for an empty key; else stores the password under the lower-cased key.
    virtual bool Set(std::string_view key, std::string_view password);
    // True and the password when the lower-cased key is stored; else false and an empty password.
    virtual bool Get(std::string_view key, std::string& password) const;
    // False for an empty key; else removes the key and says whether it was there.
    virtual bool Remove(std::string_view key);
    virtual void Clear();
    // Calls `visitor` with every key and password, in key order. It runs on a copy taken under
    // the lock, so it may call back into the store.
    virtual void Enumerate(const Visitor& visitor) const;
    // Empties the store, then reads the file at `path`. False when the file is missing,
    // unreadable, empty, larger than kMaxPasswordFileBytes or not a whole number of blocks, and
    // false with `wrongKey` set when it was enciphered with another key; the store is then empty
    // and clean, and a file that exists is reported once (KeepStateFile). Such a file is written
    // over only once the user changes a password.
    virtual bool Load(const std::string& path, std::string_view passphrase, bool& wrongKey);
    // Writes every password to `path`, through a temporary file renamed over the old one, so a
    // failed save leaves the old file as it was. The file is readable by its owner only.
    virtual bool Save(const std::string& path, std::string_view passphrase);
    // Milliseconds since system start at the last change, strictly increasing.
    virtual std::uint32_t GetStamp() const;
    // True when something changed since the last successful save.
    virtual bool IsDirty() const;

    // Load from the bytes of a file instead of the file itself.
    bool LoadFromBytes(std::string_view fileBytes, std::string_view passphrase, bool& wrongKey);
    // The bytes Save would write, with `savedAt` as the time of saving; changes nothing.
    std::string FormatFile(std::string_view passphrase, const DateTime& savedAt) const;

  private:
    using Map = std::map<std::string, std::string, std::less<>>;

    // The following expect the lock to be held.
    void MarkSavedLocked();
    void ResetForLoadLocked(bool& wrongKey);
    bool LoadBytesLocked(std::string fileBytes, std::string_view passphrase, bool& wrongKey);
    void ReadLineLocked(std::string_view line);
    void SetLocked(std::string_view key, std::string_view password);
    std::string FormatFileLocked(std::string_view passphrase, const DateTime& savedAt) const;
    void Touch();

    mutable std::mutex lock_;
    Map passwords_;
    std::uint32_t changeStamp_ = 0;
    std::uint32_t savedStamp_ = 0;
};

}  // namespace tellweir
