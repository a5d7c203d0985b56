// Password scrambling and the fixed keys of "Passwords.bf".
#include "store/password_scramble.h"

#include <algorithm>
#include <array>
#include <bit>

#include "base/ascii_text.h"

namespace tellweir {

namespace {

// The three fixed values of the password file. A file is readable only by a program that uses
// the same three, so they must never change. The substitution moves 17 letters and digits in one
// cycle among themselves, which keeps the scrambled text inside the quoted "ps" attribute free of
// quotes and blanks.
constexpr std::string_view kFileKey =
    "pP^_m|eoe.28GD:,r+gV+65i223c4/.n</1{Q;0^b$42cO1sql:g)TN*Hs5$<m[il@s5!ujSc(N6zeTkG@tf9b:0~PF(F-"
    "YDzw/Q6[4Ja|~7{m(|U7uBxqA";
constexpr std::string_view kScramblingKey =
    "{dz>}3N]o!Mym-}#WwTDq3kItmOr&%{Dq$h5K[q8\n"
    "l85c=IM+--a*yY::.yqO;%Lp9Wujn!#iXGez)1Y/\n"
    "3)J2n74OKg8LlNivE@c!ak6;$1&zQq_GRU6^Ydt{\n"
    "EPPvLZ#<o+18cj}Fm7n>g__Z$T3JXaPgBuwY|[";
constexpr std::string_view kSubstituteFrom = "bGQCMBrIPw3TqdVWo";
constexpr std::string_view kSubstituteTo = "GQCMBrIPw3TqdVWob";

static_assert(kFileKey.size() == 119 && kFileKey.find('\n') == std::string_view::npos);
static_assert(kScramblingKey.size() == 161 &&
              std::count(kScramblingKey.begin(), kScramblingKey.end(), '\n') == 3);
static_assert(kSubstituteFrom.size() == 17 && kSubstituteTo.size() == 17);

struct Substitution {
    std::array<std::uint8_t, 256> forward{};
    std::array<std::uint8_t, 256> backward{};
};

constexpr Substitution MakeSubstitution() {
    Substitution s;
    for (std::size_t i = 0; i < 256; ++i) {
        s.forward[i] = static_cast<std::uint8_t>(i);
        s.backward[i] = static_cast<std::uint8_t>(i);
    }
    for (std::size_t i = 0; i < kSubstituteFrom.size(); ++i) {
        const auto from = static_cast<std::uint8_t>(kSubstituteFrom[i]);
        const auto to = static_cast<std::uint8_t>(kSubstituteTo[i]);
        s.forward[from] = to;
        s.backward[to] = from;
    }
    return s;
}

constexpr Substitution kSubstitution = MakeSubstitution();

// A password is padded to at least this many bytes, so the text does not show the length of a
// short one.
constexpr std::size_t kMinScrambledBytes = 27;
constexpr int kScramblingPasses = 5;
constexpr char kEscape = '\\';

char Sub(std::uint8_t b) {
    return static_cast<char>(kSubstitution.forward[b]);
}
char Unsub(char c) {
    return static_cast<char>(kSubstitution.backward[static_cast<std::uint8_t>(c)]);
}

// Any character that is not a hexadecimal digit counts as 0.
int HexValueOrZero(char c) {
    const int value = HexDigitValue(c);
    return value < 0 ? 0 : value;
}

// XORs the scrambling key into `buffer` five times over, wrapping around its length.
void XorScramblingKey(std::string& buffer) {
    if (buffer.empty()) return;
    std::size_t at = 0;  // the running counter modulo the length, kept without a division
    for (int pass = 0; pass < kScramblingPasses; ++pass) {
        for (const char k : kScramblingKey) {
            buffer[at] = static_cast<char>(buffer[at] ^ k);
            if (++at == buffer.size()) at = 0;
        }
    }
}

}  // namespace

std::string Scramble(std::string_view password) {
    std::string buffer;
    buffer.reserve(std::max(password.size(), kMinScrambledBytes) + 1);
    for (const char c : password) {
        buffer.push_back(Sub(static_cast<std::uint8_t>(c)));
    }
    if (buffer.size() < kMinScrambledBytes) buffer.resize(kMinScrambledBytes, '\0');
    buffer.push_back('\0');
    XorScramblingKey(buffer);

    std::string text;
    text.reserve(buffer.size() * 3);
    for (const char c : buffer) {
        const auto b = static_cast<std::uint8_t>(c);
        if (IsAsciiAlnum(c)) {
            text.push_back(Sub(b));
        } else {
            text.push_back(Sub(kEscape));
            text.push_back(Sub(static_cast<std::uint8_t>(UpperHexDigit(b >> 4))));
            text.push_back(Sub(static_cast<std::uint8_t>(UpperHexDigit(b))));
        }
    }
    return text;
}

std::string Unscramble(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const char c = Unsub(text[i]);
        if (c != kEscape) {
            bytes.push_back(c);
            ++i;
            continue;
        }
        if (text.size() - i < 3) return {};
        const int high = HexValueOrZero(Unsub(text[i + 1]));
        const int low = HexValueOrZero(Unsub(text[i + 2]));
        bytes.push_back(static_cast<char>(high << 4 | low));
        i += 3;
    }
    XorScramblingKey(bytes);
    for (char& c : bytes) {
        c = Unsub(c);
    }
    return bytes.substr(0, bytes.find('\0'));
}

std::string PasswordFileCipherKey(std::string_view passphrase) {
    std::string key(kFileKey);
    const std::size_t n = passphrase.size();
    if (n == 0) return key;
    for (std::size_t k = 0; k < key.size(); ++k) {
        const auto p = static_cast<std::uint8_t>(passphrase[k % n]);
        key[k] = static_cast<char>(key[k] ^ std::rotl(p, static_cast<int>((k / n) % 8)));
    }
    return key;
}

std::string_view PasswordFileKey() {
    return kFileKey;
}
std::string_view ScramblingKey() {
    return kScramblingKey;
}
std::uint8_t SubstituteByte(std::uint8_t b) {
    return kSubstitution.forward[b];
}
std::uint8_t UnsubstituteByte(std::uint8_t b) {
    return kSubstitution.backward[b];
}

}  // namespace tellweir
