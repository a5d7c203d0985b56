// Fuzzes the reading of "Passwords.bf": any bytes as the file itself, the same bytes as the
// plaintext of a file (so the line reader sees them past the key check), and the password
// scrambling, whose round trip must hold for whatever the reader produced.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "store/blowfish.h"
#include "store/password_scramble.h"
#include "store/password_store.h"

namespace {

void CheckRoundTrip(const std::string& password) {
    // Unscramble stops at the first zero byte; everything before it must come back unchanged.
    const std::string plain = password.substr(0, password.find('\0'));
    if (tellweir::Unscramble(tellweir::Scramble(plain)) != plain) __builtin_trap();
}

std::map<std::string, std::string> Contents(const tellweir::CPasswordStore& store) {
    std::map<std::string, std::string> all;
    store.Enumerate(
        [&](const std::string& key, const std::string& password) { all[key] = password; });
    return all;
}

// Loads `file`, then writes what it read and loads that again: both loads must agree, unless a
// key holds a double quote (possible from a single-quoted value), which the file cannot carry.
void LoadAndCheck(const std::string& file) {
    tellweir::CPasswordStore store;
    bool wrongKey = false;
    if (!store.LoadFromBytes(file, "", wrongKey)) return;
    const auto first = Contents(store);
    bool quoted = false;
    for (const auto& [key, password] : first) {
        CheckRoundTrip(password);
        quoted = quoted || key.find('"') != std::string::npos;
    }
    if (quoted) return;
    tellweir::CPasswordStore again;
    if (!again.LoadFromBytes(store.FormatFile("", tellweir::DateTime::Now()), "", wrongKey) ||
        Contents(again) != first) {
        __builtin_trap();
    }
}

std::string EncipherAsFile(std::string plain) {
    plain.resize((plain.size() + 7) / 8 * 8, ' ');
    const std::string key = tellweir::PasswordFileCipherKey("");
    const tellweir::CBlowfish cipher(
        {reinterpret_cast<const std::uint8_t*>(key.data()), key.size()});
    cipher.EncipherLittleEndian({reinterpret_cast<std::uint8_t*>(plain.data()), plain.size()});
    return plain;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    LoadAndCheck(bytes);
    LoadAndCheck(EncipherAsFile(bytes));
    CheckRoundTrip(tellweir::Unscramble(bytes));
    CheckRoundTrip(bytes);
    return 0;
}
