// The password store and the reading and writing of "Passwords.bf".
#include "store/password_store.h"

#include <optional>

#include "base/ascii_text.h"
#include "base/change_stamp.h"
#include "store/atomic_file.h"
#include "store/attribute_list.h"
#include "store/blowfish.h"
#include "store/password_scramble.h"
#include "store/state_file.h"

namespace tellweir {

namespace {

constexpr std::size_t kBlockBytes = 8;
constexpr std::string_view kFirstLine = "OK \r\n";
constexpr const char* kTimeLineFormat = "TIME = \"%m/%d/%Y %H:%M:%S\" \r\n";
// An entry line is "rs=\"%s\" ps=\"%s\"\r\n" with the key and the scrambled password; it is put
// together piece by piece so that a key holding a zero byte is written whole.
constexpr std::string_view kEntryKeyStart = "rs=\"";
constexpr std::string_view kEntryPasswordStart = "\" ps=\"";
constexpr std::string_view kEntryEnd = "\"\r\n";

CBlowfish MakeFileCipher(std::string_view passphrase) {
    const std::string key = PasswordFileCipherKey(passphrase);
    return CBlowfish(std::span(reinterpret_cast<const std::uint8_t*>(key.data()), key.size()));
}

std::span<std::uint8_t> AsBytes(std::string& s) {
    return std::span(reinterpret_cast<std::uint8_t*>(s.data()), s.size());
}

}  // namespace

CPasswordStore& CPasswordStore::Instance() {
    static CPasswordStore store;
    return store;
}

bool CPasswordStore::Set(std::string_view key, std::string_view password) {
    if (key.empty()) return false;
    std::lock_guard guard(lock_);
    SetLocked(key, password);
    return true;
}

bool CPasswordStore::Get(std::string_view key, std::string& password) const {
    std::lock_guard guard(lock_);
    const auto it = passwords_.find(LowerAscii(key));
    if (it == passwords_.end()) {
        password.clear();
        return false;
    }
    password = it->second;
    return true;
}

bool CPasswordStore::Remove(std::string_view key) {
    if (key.empty()) return false;
    std::lock_guard guard(lock_);
    Touch();
    return passwords_.erase(LowerAscii(key)) != 0;
}

void CPasswordStore::Clear() {
    std::lock_guard guard(lock_);
    if (passwords_.empty()) return;
    Touch();
    passwords_.clear();
}

void CPasswordStore::Enumerate(const Visitor& visitor) const {
    Map copy;
    {
        std::lock_guard guard(lock_);
        copy = passwords_;
    }
    for (const auto& [key, password] : copy) {
        visitor(key, password);
    }
}

bool CPasswordStore::Load(const std::string& path, std::string_view passphrase, bool& wrongKey) {
    std::lock_guard guard(lock_);
    ResetForLoadLocked(wrongKey);
    StateFileRead read = ReadStateFile(path, kMaxPasswordFileBytes);
    // An empty file holds nothing to lose; it is not worth a word.
    const bool worthKeeping = !read.missing && !(read.Read() && read.text.empty());
    const bool loaded = read.Read() && LoadBytesLocked(std::move(read.text), passphrase, wrongKey);
    MarkSavedLocked();
    if (!loaded && worthKeeping) {
        KeepStateFile(path, !read.problem.empty() ? read.problem
                            : wrongKey            ? "enciphered with another key"
                                                  : "damaged");
    }
    return loaded;
}

bool CPasswordStore::LoadFromBytes(std::string_view fileBytes, std::string_view passphrase,
                                   bool& wrongKey) {
    std::lock_guard guard(lock_);
    ResetForLoadLocked(wrongKey);
    const bool loaded = fileBytes.size() <= kMaxPasswordFileBytes &&
                        LoadBytesLocked(std::string(fileBytes), passphrase, wrongKey);
    MarkSavedLocked();
    return loaded;
}

bool CPasswordStore::Save(const std::string& path, std::string_view passphrase) {
    std::lock_guard guard(lock_);
    if (!WriteFileAtomically(path, FormatFileLocked(passphrase, DateTime::Now()), 0600)) {
        return false;
    }
    savedStamp_ = changeStamp_;
    return true;
}

std::string CPasswordStore::FormatFile(std::string_view passphrase, const DateTime& savedAt) const {
    std::lock_guard guard(lock_);
    return FormatFileLocked(passphrase, savedAt);
}

std::uint32_t CPasswordStore::GetStamp() const {
    std::lock_guard guard(lock_);
    return changeStamp_;
}

bool CPasswordStore::IsDirty() const {
    std::lock_guard guard(lock_);
    return savedStamp_ < changeStamp_;
}

void CPasswordStore::MarkSavedLocked() {
    // What a load leaves is what the file holds, or a store that must not be written over a
    // file it could not read (another key, damage): either way there is nothing to save yet.
    savedStamp_ = changeStamp_;
}

void CPasswordStore::ResetForLoadLocked(bool& wrongKey) {
    // The stamp moves even when the load then fails: the content did change.
    passwords_.clear();
    Touch();
    wrongKey = false;
}

bool CPasswordStore::LoadBytesLocked(std::string fileBytes, std::string_view passphrase,
                                     bool& wrongKey) {
    if (fileBytes.empty() || fileBytes.size() % kBlockBytes != 0) return false;
    MakeFileCipher(passphrase).DecipherLittleEndian(AsBytes(fileBytes));
    // A file begins with "OK \r\n". The test accepts any of four first bytes, so about one wrong
    // key in 64 passes it and loads whatever lines its garbage happens to hold.
    const char first = fileBytes.front();
    if (first != '\n' && first != '\r' && first != 'K' && first != 'O') {
        wrongKey = true;
        return false;
    }
    std::string_view rest = fileBytes;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::size_t length = end == std::string_view::npos ? rest.size() : end + 1;
        ReadLineLocked(rest.substr(0, length));
        rest.remove_prefix(length);
    }
    return true;
}

// A line with a TIME pair is skipped; one with both an rs and a ps pair gives a password; any
// other line is ignored.
void CPasswordStore::ReadLineLocked(std::string_view line) {
    std::string_view name;
    std::optional<std::string_view> resource;
    std::optional<std::string_view> scrambled;
    bool hasTime = false;
    ParseAttributeList(
        line,
        [&](std::string_view n) {
            name = n;
            return true;
        },
        [&](std::string_view value) {
            if (EqualsIgnoreAsciiCase(name, "time")) hasTime = true;
            if (EqualsIgnoreAsciiCase(name, "rs")) resource = value;
            if (EqualsIgnoreAsciiCase(name, "ps")) scrambled = value;
            return true;
        });
    if (hasTime || !resource || !scrambled || resource->empty()) return;
    SetLocked(*resource, Unscramble(*scrambled));
}

void CPasswordStore::SetLocked(std::string_view key, std::string_view password) {
    passwords_.insert_or_assign(LowerAscii(key), std::string(password));
    Touch();
}

std::string CPasswordStore::FormatFileLocked(std::string_view passphrase,
                                             const DateTime& savedAt) const {
    std::string file(kFirstLine);
    file += savedAt.Format(kTimeLineFormat);
    for (const auto& [key, password] : passwords_) {
        file.append(kEntryKeyStart).append(key).append(kEntryPasswordStart);
        file.append(Scramble(password)).append(kEntryEnd);
    }
    file.resize((file.size() + kBlockBytes - 1) / kBlockBytes * kBlockBytes, ' ');
    MakeFileCipher(passphrase).EncipherLittleEndian(AsBytes(file));
    return file;
}

void CPasswordStore::Touch() {
    changeStamp_ = NextChangeStamp(changeStamp_);
}

}  // namespace tellweir
